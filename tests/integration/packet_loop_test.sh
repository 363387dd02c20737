#!/bin/bash
# The packet loop: what it reports for each datagram size, and its silence without -v.
source "$(dirname "$0")/../netlab/netlab.sh"

netlab_setup
netlab_device_ifup || netlab_fail_setup "ifup eth0: $(cat "$NETLAB_DIR/ifup.log")"

# Sends one datagram (udp_peer's payload arguments) and prints the lines the daemon wrote for it.
# The payloads carry no GVCP key, so the handler itself says nothing.
lines_for() {
    local before new waited=0
    before=$(wc -l <"$NETLAB_DAEMON_OUT")
    netlab_udp_peer send --to "$NETLAB_DEVICE_ADDRESS" "$@" --listen-ms 0 >/dev/null
    # An empty datagram gives no line to wait for: the full wait is the check.
    while [ "$waited" -lt 30 ]; do
        new=$(tail -n +$((before + 1)) "$NETLAB_DAEMON_OUT")
        grep -qx 'Message processing done' <<<"$new" && break
        sleep 0.1
        waited=$((waited + 1))
    done
    sleep 0.2
    tail -n +$((before + 1)) "$NETLAB_DAEMON_OUT"
}

verbose_lines_per_datagram() {
    netlab_start_daemon_ready -v
    expect_eq "8 bytes" $'Received message: 8\nMessage processing done' "$(lines_for --size 8)"
    expect_eq "600 bytes" $'Received message: 576\nMessage processing done' \
        "$(lines_for --size 600)"
    expect_eq "empty datagram" "" "$(lines_for --empty)"
    expect_true "the daemon ended" netlab_daemon_running
    netlab_stop_daemon TERM
    expect_status "stop" 0 $?
    expect_no_sanitizer_report "stderr" "$NETLAB_DAEMON_ERR"
}

quiet_without_verbose() {
    netlab_start_daemon
    expect_true "no discovery answered" netlab_wait_serving
    netlab_udp_peer send --to "$NETLAB_DEVICE_ADDRESS" --size 8 --listen-ms 0
    sleep 2
    expect_file_text "stdout while idle" "$NETLAB_DAEMON_OUT" ""
    netlab_stop_daemon TERM
    expect_status "stop" 0 $?
    expect_file_text "stdout" "$NETLAB_DAEMON_OUT" "Sigterm received
"
    expect_no_sanitizer_report "stderr" "$NETLAB_DAEMON_ERR"
}

netlab_case "verbose lines per datagram" verbose_lines_per_datagram
netlab_case "quiet without verbose" quiet_without_verbose
netlab_finish
