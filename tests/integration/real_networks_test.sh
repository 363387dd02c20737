#!/bin/bash
# Real networks: PC tools that send a force-IP twice, a device with a second network, an address
# another host holds, and a hook that never returns.
source "$(dirname "$0")/../netlab/netlab.sh"

netlab_require_built "$NETLAB_UDP_PEER" "$NETLAB_PROBE"

# A device serving at 192.0.2.10 from the default file, with -v; its start-up output dropped.
rn_serving_device() {
    netlab_setup
    netlab_device_ifup || netlab_fail_setup "ifup eth0: $(cat "$NETLAB_DIR/ifup.log")"
    netlab_start_daemon -v
    netlab_wait_serving || netlab_check_failed "the daemon never served"
    : >"$NETLAB_DAEMON_OUT"
    : >"$NETLAB_DAEMON_ERR"
}

# --- cases: sent twice ---

# --- cases: second network ---

# --- cases: address in use ---

# --- cases: hung hook ---

# --- registered cases ---
netlab_finish
