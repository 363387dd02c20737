#!/bin/bash
# The AArch64 build of the daemon under qemu-user in the device host, found and re-addressed by
# the native build's PC-side tools: its discovery answer is the native daemon's byte for byte, so
# no byte order, size or layout differs. AARCH64_BUILD_DIR (default build-aarch64) holds the cross
# build, NETLAB_BUILD_DIR (default build) the native one. AARCH64_DAEMON names another daemon (an
# unpacked package's), AARCH64_LIBRARY_DIR the folder of the libQELInterface.so.1 it loads.
source "$(dirname "$0")/../netlab/netlab.sh"

AARCH64_BUILD_DIR=${AARCH64_BUILD_DIR:-$(cd "$NETLAB_HOME/../.." && pwd)/build-aarch64}
NATIVE_DAEMON=$NETLAB_DAEMON
NETLAB_DAEMON=${AARCH64_DAEMON:-$AARCH64_BUILD_DIR/Tarn_reply}
# Debian's arm64 runtime when it is installed, else the cross toolchain's: never a mix of the two
# (cmake/aarch64-linux-gnu.cmake says why).
NETLAB_DAEMON_RUNNER="qemu-aarch64 -L /usr/aarch64-linux-gnu"
[ ! -e /lib/ld-linux-aarch64.so.1 ] || NETLAB_DAEMON_RUNNER="qemu-aarch64 -L /"
if [ -n "${AARCH64_LIBRARY_DIR:-}" ]; then
    NETLAB_DAEMON_RUNNER+=" -E LD_LIBRARY_PATH=$AARCH64_LIBRARY_DIR"
fi

netlab_require qemu-aarch64
[ -x "$NETLAB_DAEMON" ] || netlab_skip "no AArch64 daemon $NETLAB_DAEMON"
netlab_require_built "$NATIVE_DAEMON" "$NETLAB_UDP_PEER" "$NETLAB_PROBE"
netlab_setup
netlab_device_ifup || netlab_fail_setup "ifup eth0: $(cat "$NETLAB_DIR/ifup.log")"

# Starts the daemon (the variables given before it pick which) and waits until it answers.
serving() {
    netlab_start_daemon
    netlab_wait_serving "$NETLAB_DEVICE_ADDRESS" 60 || netlab_check_failed "never served"
}

stopped_cleanly() {
    netlab_stop_daemon TERM 10
    expect_status "stop" 0 $?
}

# What the PC receives for a discovery to the device's address and for one by broadcast, as a
# PC finding cameras sends it.
discovery_answers() {
    netlab_udp_peer send --to "$NETLAB_DEVICE_ADDRESS" --hex "$(netlab_gvcp_hex discovery 1234)"
    netlab_udp_peer send --to 255.255.255.255 --broadcast --hex "$(netlab_gvcp_hex discovery 1234)"
}

answers_as_the_native_build() {
    NETLAB_DAEMON=$NATIVE_DAEMON NETLAB_DAEMON_RUNNER="" serving
    local native aarch64
    native=$(discovery_answers)
    stopped_cleanly
    serving
    aarch64=$(discovery_answers)
    expect_eq "answers" 2 \
        "$(grep -c '^from=192\.0\.2\.10:3956 to=192\.0\.2\.1 len=256 ' <<<"$aarch64")"
    expect_eq "answers beside the native build's" "$native" "$aarch64"
    stopped_cleanly
}

force_ip_readdresses() {
    serving
    expect_match "acknowledge" '^Acknowledge from 192\.0\.2\.20:3956 on pc0, status 0x0000 \(success\)$' \
        "$(pc_exec "$NETLAB_PROBE" force-ip "$NETLAB_DEVICE_MAC" 192.0.2.20 255.255.255.0 \
            192.0.2.1 --to "$NETLAB_DEVICE_ADDRESS" --timeout-ms 60000)"
    netlab_wait_serving 192.0.2.20 60 || netlab_check_failed "no answer at 192.0.2.20"
    expect_discovery 192.0.2.20 static 255.255.255.0 192.0.2.1
    expect_match "address on eth0" ' inet 192\.0\.2\.20/24 ' \
        "$(dev_exec ip -4 -o addr show dev eth0)"
    stopped_cleanly
}

netlab_case "answers as the native build" answers_as_the_native_build
netlab_case "force-IP re-addresses" force_ip_readdresses
netlab_finish
