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

# --- registered cases ---
netlab_case "address in use is refused" address_in_use_is_refused
netlab_finish
