#!/bin/bash
# Images shaped like real cameras: the daemon keeps the user's configuration and stays reachable
# when ifupdown's state and the link disagree, when the file is a link, CRLF or 0600, when the
# interface has aliases, and when a PC repeats or cuts short its force-IP.
source "$(dirname "$0")/../netlab/netlab.sh"

netlab_require_built "$NETLAB_UDP_PEER" "$NETLAB_PROBE"

# --- start-up cases ---

# --- interfaces-file cases ---

# --- request cases ---

# --- start-up case list ---
# --- interfaces-file case list ---
# --- request case list ---
netlab_finish
