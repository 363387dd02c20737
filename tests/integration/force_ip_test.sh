#!/bin/bash
# Force-IP end to end: requests from the PC host reach the real daemon, which rewrites its
# interfaces file and restarts eth0 with the real ifupdown (dhclient against dnsmasq for dhcp).
# What the PC receives is checked on the wire, what the device keeps on disk byte for byte.
source "$(dirname "$0")/../netlab/netlab.sh"

netlab_require_built "$NETLAB_UDP_PEER" "$NETLAB_PROBE"

# The resolver the daemon writes for a static configuration with a gateway is a build constant.
RESOLVER=$(sed -n 's/.*kPublicResolver\[\] = "\([0-9.]*\)";.*/\1/p' \
    "$NETLAB_HOME/../../netconfig/resolver.h")
if [ -z "$RESOLVER" ]; then
    echo "FAIL: no resolver address found in netconfig/resolver.h" >&2
    exit 1
fi
RESOLV_BEFORE='nameserver 203.0.113.53
'
PRINTED_MAC='MAC:     00::1A::2B::3C::4D::5E'

# A file with the cases the rewriter must get right around eth0: no "auto" line of its own (only
# allow-hotplug, which must stay the only one, or boot would wait for eth0), a head written with
# tabs and double blanks, tab-indented options with a comment after the last (a note that stays),
# an indented stanza of another interface right after it, an inet6 stanza and another interface
# behind.
RICH_HEAD='# device network configuration
auto lo
iface lo inet loopback

allow-hotplug eth0
'
# What follows eth0's stanza, which every rewrite keeps as it is.
RICH_TAIL='  iface wlan0 inet manual
    mtu 1400

iface eth0 inet6 auto

auto eth1
iface eth1 inet dhcp
'
RICH_INTERFACES="${RICH_HEAD}iface  eth0	inet  static
	address 192.0.2.10/24
	gateway 192.0.2.1
	# the PC segment
$RICH_TAIL"
RICH_AFTER_STATIC="${RICH_HEAD}iface eth0 inet static
  address 192.0.2.20
  netmask 255.255.255.0
  gateway 192.0.2.1
	# the PC segment
$RICH_TAIL"
# NETLAB_DEFAULT_INTERFACES after a dhcp request, and that after a static one without gateway.
DEFAULT_AFTER_DHCP="# interfaces(5) file used by ifup(8) and ifdown(8)
$(netlab_interfaces_text dhcp)

"
DHCP_AFTER_STATIC="# interfaces(5) file used by ifup(8) and ifdown(8)
$(netlab_interfaces_text static '  address 192.0.2.30' '  netmask 255.255.255.0')

"

# A new pair of hosts whose device has TEXT (default: the static 192.0.2.10 stanza) as its
# interfaces file and eth0 up from it, and a resolver file of our own.
fresh_device() {
    netlab_setup "${1-$NETLAB_DEFAULT_INTERFACES}"
    netlab_device_ifup || netlab_fail_setup "ifup eth0: $(cat "$NETLAB_DIR/ifup.log")"
    printf '%s' "$RESOLV_BEFORE" >"$NETLAB_RESOLV"
    PEER_COUNT=0
}

# Starts the daemon with ARGS and waits until it answers at $SERVING_AT (default 192.0.2.10); its
# start-up output (systemctl's and snmpget's complaints included) is then dropped.
start_serving() {
    netlab_start_daemon "$@"
    netlab_wait_serving "${SERVING_AT:-$NETLAB_DEVICE_ADDRESS}" 30 ||
        netlab_check_failed "the daemon never served"
    : >"$NETLAB_DAEMON_OUT"
    : >"$NETLAB_DAEMON_ERR"
}

# UDP datagrams the device host has delivered to its sockets so far.
device_udp_in() {
    # shellcheck disable=SC2016 # awk's own fields
    ip netns exec "$NETLAB_DEV" awk '$1 == "Udp:" && $2 ~ /^[0-9]+$/ {print $2}' /proc/net/snmp
}

carrier_changes() {
    dev_exec cat /sys/class/net/eth0/carrier_changes
}

eth0_ipv4() {
    dev_exec ip -4 -o addr show dev eth0
}

# Sends HEX to ADDRESS from the PC host and returns once the device host has taken the datagram
# in. The sender keeps listening in the background; what comes back collects in $PEER_OUT.
send_listening() {
    local to=$1 hex=$2 before waited=0
    before=$(device_udp_in)
    PEER_COUNT=$((PEER_COUNT + 1))
    PEER_OUT=$NETLAB_DIR/peer.$PEER_COUNT
    : >"$PEER_OUT"
    pc_spawn "$PEER_OUT" "$NETLAB_DIR/peer.err" "$NETLAB_UDP_PEER" send --to "$to" --hex "$hex" \
        --listen-ms 300000
    PEER_PID=$NETLAB_LAST_PID
    until [ "$(device_udp_in)" -gt "$before" ]; do
        if [ "$waited" -ge 200 ]; then
            netlab_check_failed "the device never received the request sent to $to"
            return 1
        fi
        sleep 0.1
        waited=$((waited + 1))
    done
}

# Waits until the daemon answers a discovery at ADDRESS. Datagrams are served one at a time, so
# the request sent before it has then been handled to its end; a reply to it would be on its way.
wait_handled() {
    netlab_wait_serving "$1" 60 || netlab_check_failed "no discovery answered at $1"
}

# Ends the background sender, leaving time to print a datagram that is still on its way.
stop_listening() {
    sleep 1
    kill "$PEER_PID" 2>/dev/null
    wait "$PEER_PID" 2>/dev/null
}

# send_force_ip FLAG REQ_ID ADDRESS MASK GATEWAY: sends that force-IP to the device and waits for
# the acknowledge and until the device answers at ADDRESS; what came back is in $PEER_OUT.
send_force_ip() {
    send_listening "$NETLAB_DEVICE_ADDRESS" "$(netlab_force_ip_hex "$@")"
    netlab_wait_output "$PEER_OUT" ' len=8 ' 60 || netlab_check_failed "no acknowledge"
    wait_handled "$3"
    stop_listening
}

# expect_files_untouched MTIME: the interfaces file is the default one, last written at MTIME,
# with no backup beside it, and the resolver file is ours.
expect_files_untouched() {
    expect_file_text "interfaces file" "$NETLAB_INTERFACES" "$NETLAB_DEFAULT_INTERFACES"
    expect_eq "interfaces file time" "$1" "$(stat -c %y "$NETLAB_INTERFACES")"
    expect_true "a backup was made" test ! -e "$NETLAB_INTERFACES.bak"
    expect_file_text "resolver file" "$NETLAB_RESOLV" "$RESOLV_BEFORE"
}

static_address_is_applied() {
    fresh_device "$RICH_INTERFACES"
    # Mode 1 removes the link-local address; the daemon sets 0 for a static configuration.
    dev_exec sysctl -q -w net.ipv6.conf.eth0.addr_gen_mode=1
    start_serving
    send_force_ip 01 5a01 192.0.2.20 255.255.255.0 192.0.2.1

    expect_file_text "acknowledge" "$PEER_OUT" \
        "from=192.0.2.20:3956 to=192.0.2.1 len=8 hex=0000000500005a01
"
    # sysctl reports the setting it made on the stdout it shares with the daemon.
    expect_file_text "stdout" "$NETLAB_DAEMON_OUT" "New interface parameters are:
Address: 192.0.2.20
Netmask: 255.255.255.0
Gateway: 192.0.2.1
$PRINTED_MAC
net.ipv6.conf.eth0.addr_gen_mode = 0
Link is ready
"
    expect_file_text "stderr" "$NETLAB_DAEMON_ERR" ""
    expect_file_text "interfaces file" "$NETLAB_INTERFACES" "$RICH_AFTER_STATIC"
    expect_file_text "backup" "$NETLAB_INTERFACES.bak" "$RICH_INTERFACES"
    expect_true "a temporary file was left" test ! -e "$NETLAB_INTERFACES.tmp"
    expect_file_text "resolver file" "$NETLAB_RESOLV" "nameserver $RESOLVER
"
    expect_eq "addr_gen_mode" 0 "$(dev_exec cat /proc/sys/net/ipv6/conf/eth0/addr_gen_mode)"
    local addresses
    addresses=$(eth0_ipv4)
    expect_match "new address on eth0" ' inet 192\.0\.2\.20/24 ' "$addresses"
    expect_no_match "old address on eth0" ' inet 192\.0\.2\.10/' "$addresses"
    expect_discovery 192.0.2.20 static 255.255.255.0 192.0.2.1
    expect_eq "brought up at boot / on hotplug" "lo eth1 / eth0" \
        "$(dev_exec ifquery --list -a | paste -sd ' ') / $(dev_exec ifquery --list --allow=hotplug)"

    expect_clean_stop
}

# ifdown, the MTU set back to 1500, ifup: the MTU that eth0's stanza gives it.
mtu_after_a_fresh_ifup() {
    dev_exec ifdown eth0 >>"$NETLAB_DIR/ifup.log" 2>&1 && dev_exec ip link set dev eth0 mtu 1500
    netlab_device_ifup && dev_exec cat /sys/class/net/eth0/mtu
}

# Jumbo frames and the user's hook line survive a static and a dhcp force-IP. ifupdown's dhcp
# method does not apply mtu, so there the hook sets it.
# shellcheck disable=SC2016 # the hook's variables are ifupdown's
JUMBO=('  mtu 9000' '  post-up [ "$METHOD" != dhcp ] || ip link set dev "$IFACE" mtu 9000')
jumbo_frames_and_hooks_stay() {
    fresh_device "$(netlab_interfaces_text static '  address 192.0.2.10/24' "${JUMBO[@]}")"
    netlab_start_dnsmasq || netlab_check_failed "dnsmasq did not start"
    start_serving
    pc_exec "$NETLAB_PROBE" force-ip "$NETLAB_DEVICE_MAC" 192.0.2.20 255.255.255.0 0.0.0.0 \
        --to "$NETLAB_DEVICE_ADDRESS" --timeout-ms 60000 >/dev/null || netlab_check_failed "static"
    expect_file_text "static stanza" "$NETLAB_INTERFACES" "$(netlab_interfaces_text static \
        '  address 192.0.2.20' '  netmask 255.255.255.0' "${JUMBO[@]}")"$'\n\n'
    expect_eq "MTU under static" 9000 "$(mtu_after_a_fresh_ifup)"
    pc_exec "$NETLAB_PROBE" force-ip "$NETLAB_DEVICE_MAC" 255.255.255.255 0.0.0.0 0.0.0.0 \
        --to 192.0.2.20 --timeout-ms 60000 >/dev/null || netlab_check_failed "dhcp"
    expect_file_text "dhcp stanza" "$NETLAB_INTERFACES" \
        "$(netlab_interfaces_text dhcp "${JUMBO[@]}")"$'\n\n'
    expect_eq "MTU under dhcp" 9000 "$(mtu_after_a_fresh_ifup)"
    expect_clean_stop
}

# br0's stanza builds the bridge with eth0 as its port and deletes it on ifdown; the daemon serves
# br0. A force-IP's ifup must build it again, at the new address.
BRIDGE=('  pre-up ip link add br0 type bridge' '  pre-up ip link set eth0 master br0'
    '  pre-up ip link set eth0 up' '  post-down ip link del br0')
bridge_text() {
    local text
    text=$(netlab_interfaces_text "$@" "${BRIDGE[@]}") && text=${text/auto eth0/auto br0}
    printf '%s' "${text/iface eth0/iface br0}"
}
bridge_built_by_its_stanza() {
    netlab_setup "$(bridge_text static '  address 192.0.2.10/24')"
    netlab_device_ifup br0 || netlab_fail_setup "ifup br0: $(cat "$NETLAB_DIR/ifup.log")"
    start_serving br0
    pc_exec "$NETLAB_PROBE" force-ip "$(dev_exec cat /sys/class/net/br0/address)" 192.0.2.20 \
        255.255.255.0 0.0.0.0 --to "$NETLAB_DEVICE_ADDRESS" --timeout-ms 60000 >/dev/null ||
        netlab_check_failed "no acknowledge"
    expect_file_text "interfaces file" "$NETLAB_INTERFACES" \
        "$(bridge_text static '  address 192.0.2.20' '  netmask 255.255.255.0')"$'\n\n'
    expect_discovery 192.0.2.20 static
    expect_clean_stop
}

dhcp_and_back_to_static() {
    fresh_device
    netlab_start_dnsmasq || netlab_check_failed "dnsmasq did not start"
    start_serving -v
    expect_discovery "$NETLAB_DEVICE_ADDRESS" static 255.255.255.0 192.0.2.1
    : >"$NETLAB_DAEMON_OUT"

    send_listening "$NETLAB_DEVICE_ADDRESS" \
        "$(netlab_force_ip_hex 01 5a02 255.255.255.255 0.0.0.0 0.0.0.0)"
    netlab_wait_output "$PEER_OUT" ' len=8 ' 60 || netlab_check_failed "no acknowledge for dhcp"
    local lease
    lease=$(netlab_leased_address)
    expect_match "leased address" '^192\.0\.2\.(1[0-4][0-9]|150)$' "$lease"
    wait_handled "$lease"
    stop_listening
    expect_file_text "dhcp acknowledge" "$PEER_OUT" \
        "from=$lease:3956 to=192.0.2.1 len=8 hex=0000000500005a02
"
    expect_lines_in_order "dhcp stdout" "$NETLAB_DAEMON_OUT" "New interface parameters are:" \
        "Address: 255.255.255.255" "Netmask: 0.0.0.0" "Gateway: 0.0.0.0" "$PRINTED_MAC" \
        "ifdown eth0" "Enabling DHCP..." "ifup eth0" "Link is ready" "Sending ACK"
    expect_file_text "interfaces file after dhcp" "$NETLAB_INTERFACES" "$DEFAULT_AFTER_DHCP"
    expect_file_text "backup after dhcp" "$NETLAB_INTERFACES.bak" "$NETLAB_DEFAULT_INTERFACES"
    expect_file_text "resolver file after dhcp" "$NETLAB_RESOLV" "$RESOLV_BEFORE"
    local addresses
    addresses=$(eth0_ipv4)
    expect_match "leased address on eth0" " inet ${lease//./\\.}/24 " "$addresses"
    expect_no_match "old address on eth0" ' inet 192\.0\.2\.10/' "$addresses"
    expect_discovery "$lease" dhcp 255.255.255.0 192.0.2.1

    : >"$NETLAB_DAEMON_OUT"
    local probe
    probe=$(pc_exec "$NETLAB_PROBE" force-ip "$NETLAB_DEVICE_MAC" 192.0.2.30 255.255.255.0 \
        0.0.0.0 --to "$lease" --timeout-ms 60000)
    expect_status "gvcp-probe force-ip" 0 $?
    expect_match "static acknowledge" \
        '^Acknowledge from 192\.0\.2\.30:3956 on pc0, status 0x0000 \(success\)$' "$probe"
    wait_handled 192.0.2.30
    # ifdown ran while the file still named dhcp, so dhclient gave the lease back.
    expect_true "no DHCPRELEASE of $lease" \
        netlab_wait_output "$NETLAB_DIR/dnsmasq.log" "DHCPRELEASE.* ${lease//./\\.} " 10
    expect_no_match "static stdout" '^Enabling DHCP' "$(cat "$NETLAB_DAEMON_OUT")"
    expect_file_text "interfaces file after static" "$NETLAB_INTERFACES" "$DHCP_AFTER_STATIC"
    expect_file_text "backup after static" "$NETLAB_INTERFACES.bak" "$DEFAULT_AFTER_DHCP"
    # No gateway, so no resolver line either.
    expect_file_text "resolver file after static" "$NETLAB_RESOLV" "$RESOLV_BEFORE"
    addresses=$(eth0_ipv4)
    expect_match "static address on eth0" ' inet 192\.0\.2\.30/24 ' "$addresses"
    expect_no_match "lease still on eth0" " inet ${lease//./\\.}/" "$addresses"
    expect_discovery 192.0.2.30 static 255.255.255.0 0.0.0.0

    expect_clean_stop
}

# The DHCP client that ifup starts outlives the daemon: it must hold nothing of the daemon's, or
# a crashed daemon's successor finds its lock taken and its port shared.
dhcp_client_inherits_nothing() {
    fresh_device
    netlab_start_dnsmasq || netlab_check_failed "dnsmasq did not start"
    start_serving
    local probe lease client fds daemon_sockets
    probe=$(pc_exec "$NETLAB_PROBE" force-ip "$NETLAB_DEVICE_MAC" 255.255.255.255 0.0.0.0 0.0.0.0 \
        --to "$NETLAB_DEVICE_ADDRESS" --timeout-ms 60000)
    expect_match "dhcp acknowledge" 'status 0x0000 \(success\)$' "$probe"
    lease=$(netlab_leased_address)
    wait_handled "$lease"
    client=$(for pid in $(ip netns pids "$NETLAB_DEV"); do
        [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = dhclient ] && echo "$pid"
    done | head -n 1)
    expect_true "no DHCP client runs" test -n "$client"
    fds=$(find "/proc/$client/fd" -mindepth 1 -printf '%l\n' 2>/dev/null)
    daemon_sockets=$(find "/proc/$NETLAB_DAEMON_PID/fd" -mindepth 1 -lname 'socket:*' -printf '%l\n')
    expect_no_match "the lock file in the DHCP client" 'Tarn_Finder\.lock' "$fds"
    expect_eq "the daemon's sockets in the DHCP client" "" \
        "$(grep -xF -f <(printf '%s\n' "$daemon_sockets") <<<"$fds")"

    netlab_stop_daemon KILL
    netlab_start_daemon
    netlab_wait_serving "$lease" 30 || netlab_check_failed "no successor after a crash: $(cat "$NETLAB_DAEMON_ERR")"
    netlab_stop_daemon TERM
    expect_status "stop" 0 $?
    netlab_start_daemon
    netlab_wait_serving "$lease" 30 || netlab_check_failed "no successor after a stop"
    expect_match "back-to-back discoveries after a restart" '^sent=100 answered=100 ' \
        "$(netlab_udp_peer burst --to "$lease" --count 100 --timeout-ms 2000)"
    expect_clean_stop
}

# A camera set to dhcp on a network without a DHCP server: when dhclient gives up, Debian's
# avahi-autoipd binds a 169.254 address on eth0:avahi. The daemon serves from it: a PC on another
# subnet finds the camera by broadcast and gives it a static address.
link_local_without_a_dhcp_server() {
    netlab_require avahi-autoipd dhclient
    netlab_setup "${NETLAB_DEFAULT_INTERFACES%%iface eth0*}iface eth0 inet dhcp
"
    # dhclient's time-out is the camera's knob for how long it waits for DHCP; 5 s here.
    mkdir -p "$NETLAB_DIR/dev/etc-upper/dhcp"
    { cat /etc/dhcp/dhclient.conf; echo "timeout 5;"; } >"$NETLAB_DIR/dev/etc-upper/dhcp/dhclient.conf"
    # avahi-autoipd -w, run by dhclient's exit hook, holds ifup until the address is bound.
    netlab_device_ifup || netlab_fail_setup "ifup eth0: $(cat "$NETLAB_DIR/ifup.log")"
    local address hex probe
    address=$(dev_exec ip -4 -o addr show dev eth0 label eth0:avahi | awk '{print substr($4, 1, index($4, "/") - 1)}')
    expect_match "link-local address on eth0:avahi" '^169\.254\.' "$address"
    netlab_start_daemon_ready -v || netlab_check_failed "the packet loop did not start"
    hex=$(netlab_udp_peer send --to 255.255.255.255 --broadcast --from "$NETLAB_PC_OTHER_ADDRESS" \
        --hex "$(netlab_gvcp_hex discovery 5a0c --broadcast-ack)")
    expect_match "broadcast answer from the link-local address" \
        "^from=${address//./\\.}:3956 to=255\.255\.255\.255 len=256 hex=0000000300f85a0c" "$hex"
    expect_record "${hex##* hex=}" "$address" dhcp
    probe=$(pc_exec "$NETLAB_PROBE" force-ip "$NETLAB_DEVICE_MAC" 192.0.2.20 255.255.255.0 \
        192.0.2.1 --to 255.255.255.255 --timeout-ms 60000)
    expect_match "static acknowledge" \
        '^Acknowledge from 192\.0\.2\.20:3956 on pc0, status 0x0000 \(success\)$' "$probe"
    expect_discovery 192.0.2.20 static 255.255.255.0 192.0.2.1
    netlab_stop_daemon TERM
    expect_status "stop" 0 $?
}

restart_only_sends_nothing() {
    fresh_device
    start_serving
    local changes mtime
    changes=$(carrier_changes)
    mtime=$(stat -c %y "$NETLAB_INTERFACES")
    send_listening "$NETLAB_DEVICE_ADDRESS" "$(netlab_force_ip_hex 01 5a03 0.0.0.0 255.255.255.0 192.0.2.1)"
    netlab_wait_output "$NETLAB_DAEMON_OUT" '^Restarting network service$' 60
    wait_handled "$NETLAB_DEVICE_ADDRESS"
    stop_listening

    expect_file_text "replies to the restart" "$PEER_OUT" ""
    expect_file_text "stdout" "$NETLAB_DAEMON_OUT" "New interface parameters are:
Address: 0.0.0.0
Netmask: 255.255.255.0
Gateway: 192.0.2.1
$PRINTED_MAC
Restarting network service
"
    expect_true "eth0 was not restarted" test "$(carrier_changes)" -gt "$changes"
    expect_files_untouched "$mtime"
    expect_discovery "$NETLAB_DEVICE_ADDRESS" static 255.255.255.0 192.0.2.1

    expect_clean_stop
}

broadcast_acknowledge_flag() {
    fresh_device
    start_serving
    # From a requester inside the subnet: the flag alone decides.
    send_force_ip 11 5a04 192.0.2.21 255.255.255.0 192.0.2.1
    expect_file_text "acknowledge" "$PEER_OUT" \
        "from=192.0.2.21:3956 to=255.255.255.255 len=8 hex=0000000500005a04
"
    expect_discovery 192.0.2.21 static 255.255.255.0 192.0.2.1
    netlab_stop_daemon TERM
    expect_status "stop" 0 $?
}

# Requests that name another device, or none, change nothing and are never answered.
requests_for_no_one() {
    fresh_device
    start_serving
    local changes mtime request
    changes=$(carrier_changes)
    mtime=$(stat -c %y "$NETLAB_INTERFACES")
    for request in \
        "$(netlab_force_ip_hex 01 5a05 192.0.2.23 255.255.255.0 192.0.2.1 00:1a:2b:3c:4d:5f)" \
        "$(netlab_force_ip_hex 01 5a06 192.0.2.23 255.255.255.0 192.0.2.1 01:1a:2b:3c:4d:5e)" \
        "42 01 0004 0000 5a07"; do
        send_listening "$NETLAB_DEVICE_ADDRESS" "$request"
        wait_handled "$NETLAB_DEVICE_ADDRESS"
        stop_listening
        expect_file_text "replies to '$request'" "$PEER_OUT" ""
    done
    expect_file_text "stdout" "$NETLAB_DAEMON_OUT" ""
    expect_file_text "stderr" "$NETLAB_DAEMON_ERR" ""
    expect_eq "carrier changes" "$changes" "$(carrier_changes)"
    expect_files_untouched "$mtime"
    expect_match "address on eth0" ' inet 192\.0\.2\.10/24 ' "$(eth0_ipv4)"
    expect_clean_stop
}

# eth0's dhcp stanza in interfaces.d, as Debian images often keep it: discovery reports dhcp. A
# rewrite of the main file would add a second stanza beside it, so a force-IP is refused before
# anything changes.
stanza_in_a_sourced_file_is_refused() {
    local main='auto lo
iface lo inet loopback
source /etc/network/interfaces.d/*
'
    local sourced='auto eth0
iface eth0 inet dhcp
' lease
    netlab_setup "$main"
    mkdir -p "$NETLAB_INTERFACES.d"
    printf '%s' "$sourced" >"$NETLAB_INTERFACES.d/eth0"
    netlab_start_dnsmasq || netlab_check_failed "dnsmasq did not start"
    netlab_device_ifup || netlab_fail_setup "ifup eth0: $(cat "$NETLAB_DIR/ifup.log")"
    lease=$(netlab_leased_address) || netlab_check_failed "no lease"
    printf '%s' "$RESOLV_BEFORE" >"$NETLAB_RESOLV"
    SERVING_AT=$lease start_serving
    local changes
    changes=$(carrier_changes)
    send_listening "$lease" "$(netlab_force_ip_hex 01 5a09 192.0.2.20 255.255.255.0 192.0.2.1)"
    wait_handled "$lease"
    stop_listening
    expect_file_text "replies" "$PEER_OUT" ""
    expect_file_text "stderr" "$NETLAB_DAEMON_ERR" "Refusing force IP: eth0 is configured in \
/etc/network/interfaces.d/eth0, not in /etc/network/interfaces
"
    expect_file_text "stdout" "$NETLAB_DAEMON_OUT" ""
    expect_eq "carrier changes" "$changes" "$(carrier_changes)"
    expect_file_text "interfaces file" "$NETLAB_INTERFACES" "$main"
    expect_file_text "sourced file" "$NETLAB_INTERFACES.d/eth0" "$sourced"
    expect_true "a backup was made" test ! -e "$NETLAB_INTERFACES.bak"
    expect_file_text "resolver file" "$NETLAB_RESOLV" "$RESOLV_BEFORE"
    expect_discovery "$lease" dhcp 255.255.255.0 192.0.2.1
    netlab_stop_daemon TERM
    expect_status "stop" 0 $?
}

refused_configurations() {
    fresh_device
    start_serving
    local changes mtime request wrong config
    changes=$(carrier_changes)
    mtime=$(stat -c %y "$NETLAB_INTERFACES")
    # Each request with the part its one refusal line must name.
    for request in "netmask 192.0.2.24 255.0.255.0 192.0.2.1" \
        "address 127.0.0.5 255.255.255.0 192.0.2.1" "netmask 192.0.2.24 0.0.0.0 192.0.2.1" \
        "address 224.0.0.9 255.255.255.0 192.0.2.1" "address 192.0.2.255 255.255.255.0 192.0.2.1" \
        "gateway 192.0.2.20 255.255.255.0 224.0.0.9" "gateway 192.0.2.20 255.255.255.0 192.0.2.20"; do
        wrong=${request%% *}
        config=${request#* }
        : >"$NETLAB_DAEMON_ERR"
        # shellcheck disable=SC2086 # address, mask and gateway
        send_listening "$NETLAB_DEVICE_ADDRESS" "$(netlab_force_ip_hex 01 5a08 $config)"
        wait_handled "$NETLAB_DEVICE_ADDRESS"
        stop_listening
        expect_file_text "replies to '$config'" "$PEER_OUT" ""
        expect_eq "stderr lines for '$config'" 1 "$(wc -l <"$NETLAB_DAEMON_ERR")"
        expect_match "reason for '$config'" "^Refusing force IP: $wrong " "$(cat "$NETLAB_DAEMON_ERR")"
    done
    expect_file_text "stdout" "$NETLAB_DAEMON_OUT" ""
    expect_eq "carrier changes" "$changes" "$(carrier_changes)"
    expect_files_untouched "$mtime"
    expect_match "address on eth0" ' inet 192\.0\.2\.10/24 ' "$(eth0_ipv4)"
    expect_discovery "$NETLAB_DEVICE_ADDRESS" static 255.255.255.0 192.0.2.1
    expect_clean_stop
}

# A full file system, a read-only /etc/network, a missing interfaces file: one line that says so,
# no acknowledge, nothing lost, and the device still at its address and serving.
unwritable_or_missing_file() {
    local fault expected files changes
    for fault in full read-only missing; do
        fresh_device
        case $fault in
            full) expected="Unable to write /etc/network/interfaces.tmp: No space left on device" ;;
            read-only) expected="Unable to open configuration file /etc/network/interfaces.tmp for writing" ;;
            missing)
                expected="Refusing force IP: cannot read /etc/network/interfaces: No such file or directory"
                rm "$NETLAB_INTERFACES"
                ;;
        esac
        NETLAB_ETC_NETWORK_FAULT=$fault start_serving
        files=/proc/$NETLAB_DAEMON_PID/root/etc/network
        changes=$(carrier_changes)
        send_listening "$NETLAB_DEVICE_ADDRESS" \
            "$(netlab_force_ip_hex 01 5a0a 192.0.2.20 255.255.255.0 192.0.2.1)"
        wait_handled "$NETLAB_DEVICE_ADDRESS"
        stop_listening
        expect_file_text "$fault: replies" "$PEER_OUT" ""
        expect_file_text "$fault: stderr" "$NETLAB_DAEMON_ERR" "$expected
"
        if [ "$fault" = missing ]; then
            expect_eq "$fault: carrier changes" "$changes" "$(carrier_changes)"
            expect_true "$fault: a file appeared" test ! -e "$files/interfaces"
        else
            expect_file_text "$fault: interfaces file" "$files/interfaces" "$NETLAB_DEFAULT_INTERFACES"
        fi
        expect_eq "$fault: files left" "" "$(cd "$files" && ls -d interfaces.tmp interfaces.bak interfaces.bak.tmp 2>/dev/null)"
        expect_file_text "$fault: resolver file" "$NETLAB_RESOLV" "$RESOLV_BEFORE"
        expect_discovery "$NETLAB_DEVICE_ADDRESS" static 255.255.255.0 192.0.2.1
        expect_clean_stop "$fault"
    done
}

# A stop signal never cuts a force-IP short: the request is carried out and acknowledged first.
stop_during_a_force_ip() {
    fresh_device
    start_serving
    send_listening "$NETLAB_DEVICE_ADDRESS" \
        "$(netlab_force_ip_hex 01 5a0b 192.0.2.20 255.255.255.0 192.0.2.1)"
    netlab_wait_output "$NETLAB_DAEMON_OUT" '^New interface parameters are:$' 30 ||
        netlab_check_failed "the request never arrived"
    netlab_stop_daemon TERM 30
    expect_status "stop" 0 $?
    netlab_wait_output "$PEER_OUT" ' len=8 ' 5 || netlab_check_failed "no acknowledge"
    stop_listening
    expect_file_text "acknowledge" "$PEER_OUT" \
        "from=192.0.2.20:3956 to=192.0.2.1 len=8 hex=0000000500005a0b
"
    # The handler says so the moment the signal comes, which may be while ifup still runs.
    expect_match "stop line" '^Sigterm received$' "$(cat "$NETLAB_DAEMON_OUT")"
    expect_match "new address on eth0" ' inet 192\.0\.2\.20/24 ' "$(eth0_ipv4)"
    expect_no_sanitizer_report "stderr" "$NETLAB_DAEMON_ERR"
}

netlab_case "stanza in a sourced file is refused" stanza_in_a_sourced_file_is_refused
netlab_case "static address is applied" static_address_is_applied
netlab_case "jumbo frames and hooks stay" jumbo_frames_and_hooks_stay
netlab_case "bridge built by its stanza" bridge_built_by_its_stanza
netlab_case "dhcp and back to static" dhcp_and_back_to_static
netlab_case "DHCP client inherits nothing" dhcp_client_inherits_nothing
netlab_case "link-local address without a DHCP server" link_local_without_a_dhcp_server
netlab_case "restart only sends nothing" restart_only_sends_nothing
netlab_case "broadcast acknowledge flag" broadcast_acknowledge_flag
netlab_case "requests for no one" requests_for_no_one
netlab_case "refused configurations" refused_configurations
netlab_case "interfaces file that cannot be written or read" unwritable_or_missing_file
netlab_case "stop during a force-IP" stop_during_a_force_ip
netlab_finish
