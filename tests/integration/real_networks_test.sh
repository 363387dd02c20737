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

# The PC holds 192.0.2.60 too: a force-IP to it is refused with the PC's MAC and nothing is
# restarted; a free address is still acknowledged within the PC tools' 2.5 s.
address_in_use_is_refused() {
    rn_serving_device
    local changes
    pc_exec ip addr add 192.0.2.60/24 dev pc0 || netlab_fail_setup "no second address on pc0"
    changes=$(dev_exec cat /sys/class/net/eth0/carrier_changes)
    expect_eq "replies to the held address" "" "$(netlab_udp_peer send --to 192.0.2.10 \
        --listen-ms 2500 --hex "$(netlab_force_ip_hex 01 6a01 192.0.2.60 255.255.255.0 192.0.2.1)")"
    expect_file_text "stderr" "$NETLAB_DAEMON_ERR" \
        "Refusing force IP: address 192.0.2.60 is in use by MAC $NETLAB_PC_MAC
"
    expect_eq "carrier changes" "$changes" "$(dev_exec cat /sys/class/net/eth0/carrier_changes)"
    expect_file_text "interfaces file" "$NETLAB_INTERFACES" "$NETLAB_DEFAULT_INTERFACES"
    expect_eq "acknowledge of a free address" \
        "from=192.0.2.20:3956 to=192.0.2.1 len=8 hex=0000000500006a02" \
        "$(netlab_udp_peer send --to 192.0.2.10 --listen-ms 2500 \
            --hex "$(netlab_force_ip_hex 01 6a02 192.0.2.20 255.255.255.0 192.0.2.1)")"
    expect_clean_stop
}

# --- cases: hung hook ---

# The device host's processes named NAME (a zombie left for its parent has ended).
rn_device_processes() {
    local pid
    for pid in $(ip netns pids "$NETLAB_DEV"); do
        [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = "$1" ] &&
            ! grep -q '^State:[[:space:]]*Z' "/proc/$pid/status" 2>/dev/null && echo "$pid"
    done
}

# rn_hung_ifup_device SECONDS: rn_serving_device with ifup's limit made SECONDS (5 min shipped);
# only a build with TARN_TEST_COMMAND_LIMITS (scripts/test.sh) reads the variable.
rn_hung_ifup_device() {
    grep -qx 'TARN_TEST_COMMAND_LIMITS:BOOL=ON' "$NETLAB_BUILD_DIR/CMakeCache.txt" ||
        { netlab_check_failed "built without -DTARN_TEST_COMMAND_LIMITS=ON"; return 1; }
    TARN_TEST_IFUPDOWN_LIMIT_MS=$(($1 * 1000)) rn_serving_device
}

# rn_cut_off_ifup ADDRESS SENT SECONDS: ifup cut off at its limit of SECONDS with one line, the
# device serving again at ADDRESS, the hook's sleep gone. SENT: EPOCHREALTIME without its point.
rn_cut_off_ifup() {
    local address=$1 sent=$2 limit=$3 took
    netlab_wait_serving "$address" 30 || netlab_check_failed "no answer at $address after the limit"
    took=$(((${EPOCHREALTIME/./} - sent) / 1000))
    echo "  hung hook: serving again at $address $took ms after the force-IP"
    expect_eq "lines naming ifup" "Command 'ifup eth0' still ran after $limit s: killed its processes" \
        "$(grep -F "'ifup eth0'" "$NETLAB_DAEMON_ERR")"
    expect_eq "sleep left in the device host" "" "$(rn_device_processes sleep)"
}

# A post-up that never returns, in the stanza as the camera ships it; a restart (address 0) keeps
# the stanza, so ifup runs it.
post_up_that_never_returns() {
    rn_hung_ifup_device 3 || return
    printf '%s\n    post-up sleep 3600\n' "${NETLAB_DEFAULT_INTERFACES%$'\n'}" >"$NETLAB_INTERFACES"
    expect_match "ifquery" '^up: sleep 3600$' "$(dev_exec ifquery eth0)"
    local sent=${EPOCHREALTIME/./}
    pc_exec "$NETLAB_PROBE" force-ip "$NETLAB_DEVICE_MAC" 0.0.0.0 0.0.0.0 0.0.0.0 \
        --to "$NETLAB_DEVICE_ADDRESS" --timeout-ms 100 >/dev/null
    rn_cut_off_ifup "$NETLAB_DEVICE_ADDRESS" "$sent" 3
    expect_clean_stop
}

# An if-up.d hook that never returns after dhclient got a lease: dhclient left ifup's session
# when it went to the background, so the kill leaves it holding the lease. The limit leaves room
# for dhclient's second DISCOVER, 7 s after a first one lost while the link came up.
if_up_hook_spares_the_dhcp_client() {
    rn_hung_ifup_device 15 || return
    netlab_start_dnsmasq || netlab_check_failed "dnsmasq did not start"
    printf "#!/bin/sh\n[ \"\$IFACE\" != eth0 ] || sleep 3600\n" \
        >"$NETLAB_DIR/dev/etc-network/if-up.d/zz-hang"
    chmod +x "$NETLAB_DIR/dev/etc-network/if-up.d/zz-hang"
    local sent=${EPOCHREALTIME/./} lease
    netlab_udp_peer send --to "$NETLAB_DEVICE_ADDRESS" --listen-ms 0 \
        --hex "$(netlab_force_ip_hex 01 5a10 255.255.255.255 0.0.0.0 0.0.0.0)" >/dev/null
    lease=$(netlab_leased_address 30)
    rn_cut_off_ifup "${lease:-no lease}" "$sent" 15
    expect_true "no DHCP client runs after the kill" test -n "$(rn_device_processes dhclient)"
    expect_clean_stop
}

# --- registered cases ---
netlab_case "a force-IP sent twice restarts eth0 once" copies_restart_once
netlab_case "a dhcp force-IP sent twice restarts eth0 once" dhcp_copies_restart_once
netlab_case "another network is not served" other_network_is_not_served
netlab_case "a post-up that never returns is cut off" post_up_that_never_returns
netlab_case "a hung if-up.d hook spares the DHCP client" if_up_hook_spares_the_dhcp_client
netlab_case "address in use is refused" address_in_use_is_refused
netlab_finish
