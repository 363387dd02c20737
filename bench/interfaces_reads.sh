#!/bin/bash
# How often the daemon itself (not ifup, ifdown or their children) opens the interfaces file in
# one static and one dhcp force-IP, under strace without -f in the test network. Prints the two
# counts; not a test, not run in CI.
#
# Run as root from anywhere: bash bench/interfaces_reads.sh [BUILD_DIR]
# BUILD_DIR (default build) holds Tarn_reply, gvcp-probe and the test tools.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
export NETLAB_BUILD_DIR=${1:-$repo/build}
source "$repo/tests/netlab/netlab.sh"
netlab_setup
netlab_require ifup ifdown dhclient dnsmasq strace
netlab_device_ifup || netlab_fail_setup "ifup eth0: $(cat "$NETLAB_DIR/ifup.log")"
netlab_start_dnsmasq || netlab_fail_setup "dnsmasq did not start"
trace=$NETLAB_DIR/trace
NETLAB_DAEMON_RUNNER="strace -qq -o $trace -e trace=open,openat"
netlab_start_daemon -v
netlab_wait_serving || netlab_fail_setup "the daemon did not answer: $(cat "$NETLAB_DAEMON_ERR")"

opens() { grep -c '"/etc/network/interfaces"' "$trace" || true; }
seen=$(opens)
for request in "192.0.2.20 255.255.255.0 192.0.2.1" "255.255.255.255 0.0.0.0 0.0.0.0"; do
    # shellcheck disable=SC2086 # the request's three words
    pc_exec "$NETLAB_PROBE" force-ip "$NETLAB_DEVICE_MAC" $request --timeout-ms 60000 >/dev/null
    now=$(opens)
    echo "force-IP $request: $((now - seen)) opens of /etc/network/interfaces by the daemon"
    seen=$now
done
netlab_finish
