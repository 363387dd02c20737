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

# rn_copy_hex REQ_ID ADDRESS MASK GATEWAY: a force-IP with flag 0x00, as a PC tool sends its copies.
rn_copy_hex() {
    local hex
    hex=$(netlab_force_ip_hex 01 "$@")
    printf '42%s%s' 00 "${hex:4}"
}

# As one click in a PC tool: two copies within a millisecond, to 255.255.255.255 and to the
# subnet's broadcast, from one port, a new req_id each. Both acknowledged, eth0 restarted once;
# the same configuration asked for again later runs nothing and is acknowledged at once.
copies_restart_once() {
    rn_serving_device
    local replies changes
    replies=$(netlab_udp_peer send --broadcast --from-port 40011 --listen-ms 8000 \
        --to 255.255.255.255 --hex "$(rn_copy_hex 6101 192.0.2.20 255.255.255.0 192.0.2.1)" \
        --then-to 192.0.2.255 --then-hex "$(rn_copy_hex 6102 192.0.2.20 255.255.255.0 192.0.2.1)")
    expect_match "first copy" '^from=192\.0\.2\.20:3956 to=192\.0\.2\.1 len=8 hex=0000000500006101$' \
        "$replies"
    expect_match "second copy" '^from=192\.0\.2\.20:3956 to=192\.0\.2\.1 len=8 hex=0000000500006102$' \
        "$replies"
    expect_eq "ifdown runs" 1 "$(grep -c '^ifdown eth0$' "$NETLAB_DAEMON_OUT")"
    local text
    text=$(cat "$NETLAB_INTERFACES")
    changes=$(dev_exec cat /sys/class/net/eth0/carrier_changes)
    expect_eq "asked again" "from=192.0.2.20:3956 to=192.0.2.1 len=8 hex=0000000500006103" \
        "$(netlab_udp_peer send --to 192.0.2.20 --listen-ms 2000 \
            --hex "$(netlab_force_ip_hex 01 6103 192.0.2.20 255.255.255.0 192.0.2.1)")"
    expect_eq "ifdown runs after" 1 "$(grep -c '^ifdown eth0$' "$NETLAB_DAEMON_OUT")"
    expect_eq "carrier changes" "$changes" "$(dev_exec cat /sys/class/net/eth0/carrier_changes)"
    expect_eq "interfaces file" "$text" "$(cat "$NETLAB_INTERFACES")"
    expect_clean_stop
}

# The same for dhcp: the second copy waits while the first gets a lease, then finds it in force.
dhcp_copies_restart_once() {
    rn_serving_device
    netlab_start_dnsmasq || netlab_check_failed "dnsmasq did not start"
    local replies
    replies=$(netlab_udp_peer send --broadcast --from-port 40012 --listen-ms 20000 \
        --to 255.255.255.255 --hex "$(rn_copy_hex 6201 255.255.255.255 0.0.0.0 0.0.0.0)" \
        --then-to 192.0.2.255 --then-hex "$(rn_copy_hex 6202 255.255.255.255 0.0.0.0 0.0.0.0)")
    expect_eq "acknowledges" 2 "$(grep -cE '^from=192\.0\.2\.1[0-5][0-9]:3956 .* hex=00000005000062' \
        <<<"$replies")"
    expect_eq "ifdown runs" 1 "$(grep -c '^ifdown eth0$' "$NETLAB_DAEMON_OUT")"
    expect_match "interfaces file" 'iface eth0 inet dhcp' "$(cat "$NETLAB_INTERFACES")"
    expect_clean_stop
}

# --- cases: second network ---

# A PC on the device's other network (eth1) gets no answer and changes nothing, whether it asks
# eth1's address, broadcasts, or names eth0's address; eth0's PC and a tool on the device itself
# are still served.
other_network_is_not_served() {
    netlab_setup
    netlab_device_second_network
    netlab_device_ifup || netlab_fail_setup "ifup eth0: $(cat "$NETLAB_DIR/ifup.log")"
    netlab_start_daemon_ready -v || netlab_check_failed "the packet loop did not start"
    local to
    for to in 198.18.0.2 255.255.255.255; do
        expect_eq "discovery to $to from eth1" "" "$(office_exec "$NETLAB_UDP_PEER" send --broadcast \
            --to "$to" --listen-ms 500 --hex "$(netlab_gvcp_hex discovery 6301)")"
        expect_eq "force-IP to $to from eth1" "" "$(office_exec "$NETLAB_UDP_PEER" send --broadcast \
            --to "$to" --listen-ms 500 \
            --hex "$(netlab_force_ip_hex 01 6302 198.18.0.9 255.255.255.0 0.0.0.0)")"
    done
    expect_match "stdout" '^Ignoring a datagram from 198\.18\.0\.1 on eth1: it is not eth0$' \
        "$(cat "$NETLAB_DAEMON_OUT")"
    expect_no_match "stdout" 'New interface parameters' "$(cat "$NETLAB_DAEMON_OUT")"
    expect_file_text "interfaces file" "$NETLAB_INTERFACES" "$NETLAB_DEFAULT_INTERFACES"
    expect_discovery 192.0.2.10 static 255.255.255.0 192.0.2.1
    expect_match "from the device itself" '^from=192\.0\.2\.10:3956 .* len=256 ' \
        "$(dev_exec "$NETLAB_UDP_PEER" send --to 192.0.2.10 --listen-ms 500 \
            --hex "$(netlab_gvcp_hex discovery 6303)")"
    expect_clean_stop
}

# --- cases: address in use ---

# --- cases: hung hook ---

# --- registered cases ---
netlab_case "a force-IP sent twice restarts eth0 once" copies_restart_once
netlab_case "a dhcp force-IP sent twice restarts eth0 once" dhcp_copies_restart_once
netlab_case "another network is not served" other_network_is_not_served
netlab_finish
