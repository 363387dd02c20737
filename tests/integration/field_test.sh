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
    netlab_readdress_and_stop 192.0.2.40
    local text how
    text=$(cat "$NETLAB_INTERFACES")
    expect_match "interfaces file" 'address 192\.0\.2\.40' "$text"
    for how in "ip link set eth0 down" "ifdown eth0"; do
        # shellcheck disable=SC2086 # a command line of words
        dev_exec $how >/dev/null 2>&1
        NETLAB_ETC_NETWORK_FAULT=read-only netlab_start_daemon
        netlab_wait_serving 192.0.2.40 30 || netlab_check_failed "$how: no answer at 192.0.2.40"
        expect_discovery 192.0.2.40 static 255.255.255.0 192.0.2.1
        expect_file_text "$how: stdout" "$NETLAB_DAEMON_OUT" \
            "Interface eth0 is down, trying interfaces file
"
        expect_no_match "$how: stderr" 'Unable|failed|aborting' "$(cat "$NETLAB_DAEMON_ERR")"
        expect_clean_stop "$how"
    done
    expect_eq "interfaces file" "$text" "$(cat "$NETLAB_INTERFACES")"
}

# A read-only root keeps the file on a data partition behind a link; a Wi-Fi key makes it
# private, and a commented-out service-port stanza follows eth0's.
linked_private_file_keeps_mode_and_notes() {
    local notes=$'\n#auto eth1\n#iface eth1 inet static\n#    address 10.9.0.2\n' data
    netlab_setup
    data=$NETLAB_DIR/data && mkdir "$data"
    printf '%s' "$NETLAB_DEFAULT_INTERFACES$notes" >"$data/interfaces"
    chown 1234:5678 "$data/interfaces" && chmod 0600 "$data/interfaces"
    ln -sf "$data/interfaces" "$NETLAB_INTERFACES"
    netlab_device_ifup || netlab_fail_setup "ifup eth0: $(cat "$NETLAB_DIR/ifup.log")"
    NETLAB_ETC_NETWORK_FAULT=read-only netlab_start_daemon_ready -v ||
        netlab_check_failed "the packet loop did not start"
    expect_match "acknowledge" '^Acknowledge from 192\.0\.2\.20:3956 on pc0, status 0x0000 ' \
        "$(pc_exec "$NETLAB_PROBE" force-ip "$NETLAB_DEVICE_MAC" 192.0.2.20 255.255.255.0 \
            192.0.2.1 --to "$NETLAB_DEVICE_ADDRESS" --timeout-ms 30000)"
    expect_true "/etc/network/interfaces is no longer a link" test -L "$NETLAB_INTERFACES"
    expect_file_text "target" "$data/interfaces" "${NETLAB_DEFAULT_INTERFACES%%auto lo*}$(
        netlab_interfaces_text static '  address 192.0.2.20' '  netmask 255.255.255.0' \
            '  gateway 192.0.2.1')"$'\n'"$notes"
    expect_file_text "backup beside the target" "$data/interfaces.bak" "$NETLAB_DEFAULT_INTERFACES$notes"
    expect_eq "owner and mode of the target and the backup" $'600 1234:5678\n600 1234:5678' \
        "$(stat -c '%a %u:%g' "$data/interfaces" "$data/interfaces.bak")"
    expect_clean_stop
}

crlf_dhcp_file_is_reported_as_dhcp() {
    netlab_setup "$(printf '%s\r\n' 'auto lo' 'iface lo inet loopback' '' 'auto eth0' \
        'iface eth0 inet dhcp')"$'\n'
    netlab_start_dnsmasq || netlab_check_failed "dnsmasq did not start"
    netlab_device_ifup || netlab_fail_setup "ifup eth0: $(cat "$NETLAB_DIR/ifup.log")"
    local lease
    lease=$(netlab_leased_address) || netlab_check_failed "no lease"
    netlab_start_daemon_ready -v || netlab_check_failed "the packet loop did not start"
    expect_discovery "$lease" dhcp
    expect_clean_stop
}

# The requester's own address, and a request cut after the MAC: one line each, nothing is run.
unusable_requests_change_nothing() {
    netlab_serving_device
    local cut changes request
    cut=$(netlab_force_ip_hex 01 5b02 192.0.2.20 255.255.255.0 0.0.0.0)
    changes=$(dev_exec cat /sys/class/net/eth0/carrier_changes)
    for request in "$(netlab_force_ip_hex 01 5b01 192.0.2.1 255.255.255.0 0.0.0.0)" "${cut:0:32}"; do
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
        "$(netlab_udp_peer send --to 192.0.2.10 --hex "$(netlab_gvcp_hex discovery 1234)")"
    expect_clean_stop
}

# The first copy's sender gives up before the acknowledge, as a PC does during a long wait; the
# copy it sends again from the same port gets it, and eth0 is not restarted again.
repeated_force_ip_answered_again() {
    netlab_serving_device
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

netlab_case "down at start keeps the file" down_at_start_keeps_the_file
netlab_case "linked private file on a read-only /etc/network keeps mode and notes" \
    linked_private_file_keeps_mode_and_notes
netlab_case "CRLF dhcp file is reported as dhcp" crlf_dhcp_file_is_reported_as_dhcp
netlab_case "requester's address and a truncated request change nothing" \
    unusable_requests_change_nothing
netlab_case "alias does not hide the own address" alias_does_not_hide_the_own_address
netlab_case "repeated force-IP answered again" repeated_force_ip_answered_again
netlab_finish
