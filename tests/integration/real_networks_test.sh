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
netlab_case "a post-up that never returns is cut off" post_up_that_never_returns
netlab_case "a hung if-up.d hook spares the DHCP client" if_up_hook_spares_the_dhcp_client
netlab_finish
