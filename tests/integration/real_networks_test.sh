#!/bin/bash
# Real networks: PC tools that send a force-IP twice, a device with a second network, an address
# another host holds, and a hook that never returns.
source "$(dirname "$0")/../netlab/netlab.sh"

netlab_require_built "$NETLAB_UDP_PEER" "$NETLAB_PROBE"

# ifdowns the daemon ran (it prints each with -v) and eth0's carrier changes: one word each.
rn_restarts() {
    echo "$(grep -c '^ifdown eth0$' "$NETLAB_DAEMON_OUT") $(dev_exec cat /sys/class/net/eth0/carrier_changes)"
}

# rn_copies PORT LISTEN_MS ADDRESS MASK GATEWAY: one click in a PC tool, as rcdiscover sends it:
# flag 0x00, to 255.255.255.255 and right after to the subnet's broadcast, req_ids 0001 and 0002.
rn_copies() {
    local port=$1 listen=$2 first second
    shift 2
    first=$(netlab_force_ip_hex 01 0001 "$@") second=$(netlab_force_ip_hex 01 0002 "$@")
    netlab_udp_peer send --broadcast --from-port "$port" --listen-ms "$listen" \
        --to 255.255.255.255 --hex "4200${first:4}" --then-to 192.0.2.255 --then-hex "4200${second:4}"
}

# Both copies acknowledged, eth0 restarted once; asked again later, nothing runs or changes.
copies_restart_once() {
    netlab_serving_device
    expect_eq "acknowledges" $'from=192.0.2.20:3956 to=192.0.2.1 len=8 hex=0000000500000001
from=192.0.2.20:3956 to=192.0.2.1 len=8 hex=0000000500000002' \
        "$(rn_copies 40011 8000 192.0.2.20 255.255.255.0 192.0.2.1)"
    local restarts text
    restarts=$(rn_restarts) text=$(cat "$NETLAB_INTERFACES")
    expect_eq "ifdowns" 1 "${restarts% *}"
    expect_match "asked again" '^Acknowledge from 192\.0\.2\.20:3956 ' "$(pc_exec "$NETLAB_PROBE" \
        force-ip "$NETLAB_DEVICE_MAC" 192.0.2.20 255.255.255.0 192.0.2.1 --to 192.0.2.20 --timeout-ms 30000)"
    expect_eq "ifdowns and carrier changes after" "$restarts" "$(rn_restarts)"
    expect_eq "interfaces file" "$text" "$(cat "$NETLAB_INTERFACES")"
    expect_clean_stop
}

# The second dhcp copy waits while the first gets a lease, then finds it in force.
dhcp_copies_restart_once() {
    netlab_serving_device
    netlab_start_dnsmasq || netlab_check_failed "dnsmasq did not start"
    expect_eq "acknowledges" 2 "$(rn_copies 40012 20000 255.255.255.255 0.0.0.0 0.0.0.0 |
        grep -cE '^from=192\.0\.2\.1[0-5][0-9]:3956 .* hex=000000050000000[12]$')"
    expect_eq "ifdowns" 1 "$(grep -c '^ifdown eth0$' "$NETLAB_DAEMON_OUT")"
    expect_clean_stop
}

# A PC on the device's other network (eth1) gets no answer and changes nothing, whether it asks
# eth1's address or broadcasts; eth0's PC and a tool on the device itself are still served.
other_network_is_not_served() {
    netlab_setup
    netlab_device_second_network
    netlab_device_ifup || netlab_fail_setup "ifup eth0: $(cat "$NETLAB_DIR/ifup.log")"
    netlab_start_daemon_ready -v || netlab_check_failed "the packet loop did not start"
    local to request
    for to in 198.18.0.2 255.255.255.255; do
        for request in "$(netlab_gvcp_hex discovery 0003)" \
            "$(netlab_force_ip_hex 01 0004 198.18.0.9 255.255.255.0 0.0.0.0)"; do
            expect_eq "answer to $to from eth1" "" "$(office_exec "$NETLAB_UDP_PEER" send \
                --broadcast --to "$to" --listen-ms 500 --hex "$request")"
        done
    done
    expect_match "stdout" '^Ignoring a datagram from 198\.18\.0\.1 on eth1: it is not eth0$' \
        "$(cat "$NETLAB_DAEMON_OUT")"
    expect_file_text "interfaces file" "$NETLAB_INTERFACES" "$NETLAB_DEFAULT_INTERFACES"
    expect_discovery 192.0.2.10 static 255.255.255.0 192.0.2.1
    expect_match "from the device itself" ' len=256 ' "$(dev_exec "$NETLAB_UDP_PEER" send \
        --to 192.0.2.10 --listen-ms 500 --hex "$(netlab_gvcp_hex discovery 0005)")"
    expect_clean_stop
}

# The PC holds 192.0.2.60 too: a force-IP to it is refused with the PC's MAC and nothing changes;
# a free address is still acknowledged.
address_in_use_is_refused() {
    netlab_serving_device
    pc_exec ip addr add 192.0.2.60/24 dev pc0 || netlab_fail_setup "no second address on pc0"
    local restarts
    restarts=$(rn_restarts)
    expect_eq "answer" "" "$(netlab_udp_peer send --to 192.0.2.10 --listen-ms 2500 \
        --hex "$(netlab_force_ip_hex 01 0006 192.0.2.60 255.255.255.0 192.0.2.1)")"
    expect_file_text "stderr" "$NETLAB_DAEMON_ERR" \
        "Refusing force IP: address 192.0.2.60 is in use by MAC $NETLAB_PC_MAC"$'\n'
    expect_eq "ifdowns and carrier changes" "$restarts" "$(rn_restarts)"
    expect_file_text "interfaces file" "$NETLAB_INTERFACES" "$NETLAB_DEFAULT_INTERFACES"
    expect_match "free address" '^Acknowledge from 192\.0\.2\.20:3956 ' "$(pc_exec "$NETLAB_PROBE" \
        force-ip "$NETLAB_DEVICE_MAC" 192.0.2.20 255.255.255.0 192.0.2.1 --to 192.0.2.10 --timeout-ms 30000)"
    expect_clean_stop
}

# The device host's processes named NAME that have not ended.
rn_device_processes() {
    local pid
    for pid in $(ip netns pids "$NETLAB_DEV"); do
        [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = "$1" ] &&
            ! grep -q '^State:[[:space:]]*Z' "/proc/$pid/status" 2>/dev/null && echo "$pid"
    done
}

# rn_hung_ifup_device SECONDS: netlab_serving_device with the ifup limit made SECONDS (5 min shipped;
# only a build with TARN_TEST_COMMAND_LIMITS, as scripts/test.sh makes it, reads the variable).
rn_hung_ifup_device() {
    grep -qx 'TARN_TEST_COMMAND_LIMITS:BOOL=ON' "$NETLAB_BUILD_DIR/CMakeCache.txt" ||
        { netlab_check_failed "built without -DTARN_TEST_COMMAND_LIMITS=ON"; return 1; }
    TARN_TEST_IFUPDOWN_LIMIT_MS=$(($1 * 1000)) netlab_serving_device
}

# rn_cut_off_ifup ADDRESS SECONDS: serving again at ADDRESS after ifup's limit, one line names it,
# and the hook's sleep is gone.
rn_cut_off_ifup() {
    netlab_wait_serving "$1" 30 || netlab_check_failed "no answer at $1 after the limit"
    expect_eq "lines naming ifup" "Command 'ifup eth0' still ran after $2 s: killed its processes" \
        "$(grep -F "'ifup eth0'" "$NETLAB_DAEMON_ERR")"
    expect_eq "sleep left in the device host" "" "$(rn_device_processes sleep)"
}

# A post-up that never returns, in the stanza as a camera ships it; a restart keeps the stanza.
post_up_that_never_returns() {
    rn_hung_ifup_device 3 || return
    printf '%s\n    post-up sleep 3600\n' "${NETLAB_DEFAULT_INTERFACES%$'\n'}" >"$NETLAB_INTERFACES"
    expect_match "ifquery" '^up: sleep 3600$' "$(dev_exec ifquery eth0)"
    netlab_udp_peer send --to 192.0.2.10 --listen-ms 0 \
        --hex "$(netlab_force_ip_hex 01 0007 0.0.0.0 0.0.0.0 0.0.0.0)" >/dev/null
    rn_cut_off_ifup 192.0.2.10 3
    expect_clean_stop
}

# An if-up.d hook that hangs after dhclient got its lease: dhclient left ifup's session when it
# went to the background, so it survives the kill. The limit leaves room for dhclient's second
# DISCOVER, 7 s after a first one lost while the link came up.
if_up_hook_spares_the_dhcp_client() {
    rn_hung_ifup_device 15 || return
    netlab_start_dnsmasq || netlab_check_failed "dnsmasq did not start"
    printf '#!/bin/sh\n[ "$IFACE" != eth0 ] || sleep 3600\n' >"$NETLAB_DIR/dev/etc-network/if-up.d/zz-hang"
    chmod +x "$NETLAB_DIR/dev/etc-network/if-up.d/zz-hang"
    netlab_udp_peer send --to 192.0.2.10 --listen-ms 0 \
        --hex "$(netlab_force_ip_hex 01 0008 255.255.255.255 0.0.0.0 0.0.0.0)" >/dev/null
    rn_cut_off_ifup "$(netlab_leased_address 30 || echo "no lease")" 15
    expect_true "no DHCP client runs after the kill" test -n "$(rn_device_processes dhclient)"
    expect_clean_stop
}

netlab_case "a force-IP sent twice restarts eth0 once" copies_restart_once
netlab_case "a dhcp force-IP sent twice restarts eth0 once" dhcp_copies_restart_once
netlab_case "another network is not served" other_network_is_not_served
netlab_case "a post-up that never returns is cut off" post_up_that_never_returns
netlab_case "a hung if-up.d hook spares the DHCP client" if_up_hook_spares_the_dhcp_client
netlab_case "address in use is refused" address_in_use_is_refused
netlab_finish
