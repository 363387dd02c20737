#!/bin/bash
# Images shaped like real cameras: the daemon keeps the user's configuration and stays reachable
# when ifupdown's state and the link disagree, when the file is a link, CRLF or 0600, when the
# interface has aliases, and when a PC repeats or cuts short its force-IP.
source "$(dirname "$0")/../netlab/netlab.sh"

netlab_require_built "$NETLAB_UDP_PEER" "$NETLAB_PROBE"

# After a force-IP, eth0 set down behind ifupdown's back, then down as at boot before ifupdown
# ran: each start brings eth0 up with the file as it is, the force-IP's address, without writing
# (/etc/network read-only) or reporting temporary files it did not find.
down_at_start_keeps_the_file() {
    netlab_setup
    netlab_device_ifup || netlab_fail_setup "ifup eth0: $(cat "$NETLAB_DIR/ifup.log")"
    netlab_start_daemon
    netlab_wait_serving "$NETLAB_DEVICE_ADDRESS" 30 || netlab_fail_setup "the daemon does not serve"
    pc_exec "$NETLAB_PROBE" force-ip "$NETLAB_DEVICE_MAC" 192.0.2.40 255.255.255.0 192.0.2.1 \
        --to "$NETLAB_DEVICE_ADDRESS" --timeout-ms 60000 >/dev/null ||
        netlab_fail_setup "the force-IP was not acknowledged"
    netlab_stop_daemon TERM
    local text how
    text=$(cat "$NETLAB_INTERFACES")
    expect_match "interfaces file" 'address 192\.0\.2\.40' "$text"
    for how in "ip link set eth0 down" "ifdown eth0"; do
        # shellcheck disable=SC2086 # a command line of words
        dev_exec $how >/dev/null 2>&1
        NETLAB_ETC_NETWORK_FAULT=read-only netlab_start_daemon
        netlab_wait_serving 192.0.2.40 30 || netlab_check_failed "$how: no answer at 192.0.2.40"
        expect_discovery 192.0.2.40 00000005 ffffff00 c0000201
        expect_file_text "$how: stdout" "$NETLAB_DAEMON_OUT" \
            "Interface eth0 is down, trying interfaces file
"
        expect_no_match "$how: stderr" 'Unable|failed|aborting' "$(cat "$NETLAB_DAEMON_ERR")"
        expect_clean_stop "$how"
    done
    expect_eq "interfaces file" "$text" "$(cat "$NETLAB_INTERFACES")"
}

# --- start-up cases ---

# --- interfaces-file cases ---

# A device serving at 192.0.2.10 from the default file, with -v; its start-up output dropped.
req_serving_device() {
    netlab_setup
    netlab_device_ifup || netlab_fail_setup "ifup eth0: $(cat "$NETLAB_DIR/ifup.log")"
    netlab_start_daemon -v
    netlab_wait_serving || netlab_check_failed "the daemon never served"
    : >"$NETLAB_DAEMON_OUT"
    : >"$NETLAB_DAEMON_ERR"
}

# The requester's own address, and a request cut after the MAC: one line each, nothing is run.
unusable_requests_change_nothing() {
    req_serving_device
    local cut changes request
    cut=$(netlab_force_ip_hex 01 5b02 192.0.2.20 255.255.255.0 0.0.0.0)
    changes=$(dev_exec cat /sys/class/net/eth0/carrier_changes)
    for request in "$(netlab_force_ip_hex 01 5b01 192.0.2.1 255.255.255.0 0.0.0.0)" "${cut:0:38}"; do
        expect_eq "replies" "" "$(netlab_udp_peer send --to 192.0.2.10 --hex "$request")"
    done
    expect_file_text "stderr" "$NETLAB_DAEMON_ERR" "Refusing force IP: address 192.0.2.1 is the \
requester's address
Ignoring force IP from 192.0.2.1: 8 of 56 payload bytes
"
    expect_eq "carrier changes" "$changes" "$(dev_exec cat /sys/class/net/eth0/carrier_changes)"
    expect_file_text "interfaces file" "$NETLAB_INTERFACES" "$NETLAB_DEFAULT_INTERFACES"
    expect_clean_stop
}

# An alias added before ifup stands ahead of the interface's own address.
alias_does_not_hide_the_own_address() {
    netlab_setup
    dev_exec ip link set eth0 up && dev_exec ip addr add 10.1.1.1/24 dev eth0 label eth0:1
    netlab_device_ifup || netlab_fail_setup "ifup eth0: $(cat "$NETLAB_DIR/ifup.log")"
    netlab_start_daemon_ready -v || netlab_check_failed "the packet loop did not start"
    expect_match "reply" '^from=192\.0\.2\.10:3956 to=192\.0\.2\.1 len=256 hex=.{88}c000020a' \
        "$(netlab_udp_peer send --to 192.0.2.10 --hex "$NETLAB_DISCOVERY_HEX")"
    expect_clean_stop
}

# The first copy's sender gives up before the acknowledge, as a PC does during a long wait; the
# copy it sends again from the same port gets it, and eth0 is not restarted again.
repeated_force_ip_answered_again() {
    req_serving_device
    local request
    request=$(netlab_force_ip_hex 01 5b03 192.0.2.20 255.255.255.0 192.0.2.1)
    netlab_udp_peer send --to 255.255.255.255 --broadcast --from-port 40003 --hex "$request" \
        --listen-ms 100 >/dev/null
    netlab_wait_serving 192.0.2.20 60 || netlab_check_failed "not serving at 192.0.2.20"
    expect_eq "acknowledge" "from=192.0.2.20:3956 to=192.0.2.1 len=8 hex=0000000500005b03" \
        "$(netlab_udp_peer send --to 255.255.255.255 --broadcast --from-port 40003 --hex "$request")"
    expect_eq "force-IPs applied" 1 "$(grep -c '^New interface parameters are:$' "$NETLAB_DAEMON_OUT")"
    expect_clean_stop
}

# --- request cases ---

netlab_case "down at start keeps the file" down_at_start_keeps_the_file
# --- start-up case list ---
# --- interfaces-file case list ---
netlab_case "requester's address and a truncated request change nothing" \
    unusable_requests_change_nothing
netlab_case "alias does not hide the own address" alias_does_not_hide_the_own_address
netlab_case "repeated force-IP answered again" repeated_force_ip_answered_again
# --- request case list ---
netlab_finish
