#!/bin/bash
# The packet loop: what it reports for each datagram size, its silence without -v, a flood of
# good and bad datagrams that it lives through answering only what it should, systemd told
# when it serves, what and when it stops, and a second PC that is still answered while one
# floods.
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
    expect_clean_stop
}

quiet_without_verbose() {
    netlab_start_daemon
    expect_true "no discovery answered" netlab_wait_serving
    netlab_udp_peer send --to "$NETLAB_DEVICE_ADDRESS" --size 8 --listen-ms 0
    # Datagrams are served one at a time: once a discovery sent after it is answered, the 8 bytes
    # have been handled, and anything they made the daemon print is out.
    expect_true "no discovery answered after the datagram" netlab_wait_serving
    expect_file_text "stdout while idle" "$NETLAB_DAEMON_OUT" ""
    netlab_stop_daemon TERM
    expect_status "stop" 0 $?
    expect_file_text "stdout" "$NETLAB_DAEMON_OUT" "Sigterm received
"
    expect_no_sanitizer_report "stderr" "$NETLAB_DAEMON_ERR"
}

# 100,000 datagrams as fast as the PC can send them: discoveries (unicast and broadcast), unknown
# commands, wrong keys, empty, truncated and oversized datagrams, and force-IPs for another MAC.
# udp_peer counts every answer the daemon did not owe as unexpected.
lives_through_a_flood() {
    netlab_start_daemon
    expect_true "no discovery answered" netlab_wait_serving
    : >"$NETLAB_DAEMON_ERR"
    local fds_before flood
    fds_before=$(ls "/proc/$NETLAB_DAEMON_PID/fd" | wc -l)
    flood=$(netlab_udp_peer flood --to "$NETLAB_DEVICE_ADDRESS" --count 100000 --settle-ms 3000)
    echo "$flood" | sed 's/^/  /'
    expect_match "flood" '^sent=100000 answered=[1-9][0-9]* unexpected=0 ' "$flood"
    expect_true "the daemon ended" netlab_daemon_running
    expect_match "a discovery right after" ' len=256 hex=0000000300f8' \
        "$(netlab_udp_peer send --to "$NETLAB_DEVICE_ADDRESS" --hex "$(netlab_gvcp_hex discovery 1234)" --listen-ms 2000)"
    expect_eq "descriptors" "$fds_before" "$(ls "/proc/$NETLAB_DAEMON_PID/fd" | wc -l)"
    expect_file_text "stdout" "$NETLAB_DAEMON_OUT" ""
    expect_file_text "stderr" "$NETLAB_DAEMON_ERR" ""
    netlab_stop_daemon TERM
    expect_status "stop" 0 $?
}

# systemd's end: an abstract datagram socket of the device host that NOTIFY_SOCKET names. Without
# an SNMP agent the record takes 6 s after the port is bound: a READY=1 sent early shows then.
notifies_systemd() {
    netlab_require socat ss
    local name=tarn-notify-$$ notes=$NETLAB_DIR/notify.out
    dev_spawn "$notes" "$NETLAB_DIR/notify.err" socat -u "ABSTRACT-RECV:$name" STDOUT
    NOTIFY_SOCKET=@$name netlab_start_daemon
    until dev_exec ss -Hlun 'sport = :3956' | grep -q . || ! netlab_daemon_running; do
        sleep 0.05
    done
    expect_file_text "notified before serving" "$notes" ""
    expect_true "no READY=1" netlab_wait_output "$notes" '^READY=1$' 20
    expect_match "a discovery at READY=1" ' answered=1 ' \
        "$(netlab_udp_peer burst --to "$NETLAB_DEVICE_ADDRESS" --count 1 --timeout-ms 1000)"
    netlab_readdress_and_stop 192.0.2.30
    expect_status "stop" 0 $?
    netlab_wait_output "$notes" '^STOPPING=1$' 5
    expect_file_text "notifications" "$notes" "READY=1
STATUS=eth0 192.0.2.10/24 static
STATUS=eth0 192.0.2.30/24 static; last force-IP from 192.0.2.1
STOPPING=1
"
}

# While one PC floods the device, a second PC tool asking every 200 ms and waiting 1 s for each
# answer, as PC tools do, still finds it.
answers_a_second_tool_during_a_flood() {
    netlab_start_daemon
    expect_true "no discovery answered" netlab_wait_serving
    pc_spawn "$NETLAB_DIR/flood.out" "$NETLAB_DIR/flood.err" "$NETLAB_UDP_PEER" flood \
        --to "$NETLAB_DEVICE_ADDRESS" --count 3000000 --settle-ms 0
    local flooder=$NETLAB_LAST_PID asks=() i answered
    sleep 0.5
    for i in $(seq 1 10); do
        pc_spawn "$NETLAB_DIR/ask.$i" /dev/null "$NETLAB_UDP_PEER" send \
            --to "$NETLAB_DEVICE_ADDRESS" --hex "$(netlab_gvcp_hex discovery 1234)" --listen-ms 1000
        asks+=("$NETLAB_LAST_PID")
        sleep 0.2
    done
    wait "${asks[@]}"
    # Otherwise the asks proved nothing.
    expect_true "the flood ended before the last ask" kill -0 "$flooder"
    kill "$flooder" 2>/dev/null
    answered=$(cat "$NETLAB_DIR"/ask.* | grep -c ' len=256 ')
    # A daemon that serves in arrival order answers about one in ten; half leaves room for a
    # loaded machine, whose slower replies let the kernel drop more of the flood and the asks.
    expect_true "only $answered of 10 asks answered" test "$answered" -ge 5
    expect_true "the daemon ended" netlab_daemon_running
    netlab_stop_daemon TERM
    expect_status "stop" 0 $?
}

netlab_case "verbose lines per datagram" verbose_lines_per_datagram
netlab_case "quiet without verbose" quiet_without_verbose
netlab_case "lives through a flood" lives_through_a_flood
netlab_case "answers a second tool during a flood" answers_a_second_tool_during_a_flood
# Last: it leaves the device re-addressed.
netlab_case "notifies systemd" notifies_systemd
netlab_finish
