#!/bin/bash
# Discovery from the PC host: the bytes of the answer, where it is sent, the not-implemented
# answer, what the daemon says with -v, the failures it reports and keeps serving through, where
# the model name and serial number come from, and the probe as an ordinary user sees it.
source "$(dirname "$0")/../netlab/netlab.sh"

netlab_require_built "$NETLAB_UDP_PEER" "$NETLAB_PROBE"
netlab_setup
netlab_device_ifup || netlab_fail_setup "ifup eth0: $(cat "$NETLAB_DIR/ifup.log")"

# The model name the hardware-type table gives the stand-in library's default type 24.
DEFAULT_MODEL="Dravik HL Lumen"
DEFAULT_SERIAL=TLV0000001

# The 248 record bytes the device at 192.0.2.10/24 with a static stanza should send; the model
# and serial are the record's (already cut to their fields), the gateway defaults to 192.0.2.1.
expected_record() {
    netlab_gvcp_hex record "$NETLAB_DEVICE_MAC" "$NETLAB_DEVICE_ADDRESS" 255.255.255.0 \
        "${3:-192.0.2.1}" static "$1" "$2"
}

# The hex of SIZE record bytes at OFFSET (counted from the end of the 8-byte header) in a hex
# datagram.
record_field() {
    printf '%s' "${1:$(((8 + $2) * 2)):$(($3 * 2))}"
}

# The hex of the datagram in one udp_peer line.
hex_of() {
    sed -n 's/^.* hex=//p' <<<"$1"
}

line_count() {
    grep -c . <<<"$1"
}

# Sends one datagram from the PC host (udp_peer send arguments). Then $REPLIES holds udp_peer's
# lines for what came back, $NEW_OUT and $NEW_ERR what the daemon (started with -v) wrote for it.
exchange() {
    local out_before err_before waited=0
    out_before=$(wc -l <"$NETLAB_DAEMON_OUT")
    err_before=$(wc -l <"$NETLAB_DAEMON_ERR")
    REPLIES=$(netlab_udp_peer send "$@")
    until tail -n +$((out_before + 1)) "$NETLAB_DAEMON_OUT" | grep -qx 'Message processing done'; do
        [ "$waited" -lt 100 ] || break
        sleep 0.1
        waited=$((waited + 1))
    done
    NEW_OUT=$(tail -n +$((out_before + 1)) "$NETLAB_DAEMON_OUT")
    NEW_ERR=$(tail -n +$((err_before + 1)) "$NETLAB_DAEMON_ERR")
}

# The record of one discovery answered by the device to 192.0.2.1, or what came back instead
# when that was not exactly one 256-byte answer (so the comparison that follows shows it).
discovery_record() {
    local reply
    reply=$(netlab_udp_peer send --to "$NETLAB_DEVICE_ADDRESS" --hex "$(netlab_gvcp_hex discovery 0a0b)")
    if [ "$(line_count "$reply")" != 1 ] || ! grep -q ' len=256 hex=0000000300f80a0b' <<<"$reply"; then
        printf 'no single discovery answer: %s' "$reply"
        return
    fi
    hex_of "$reply" | cut -c17-
}

started() {
    netlab_start_daemon_ready "$@" || netlab_check_failed "the packet loop did not start"
}

stopped_cleanly() {
    expect_clean_stop
}

stop_snmpd() {
    kill -s TERM "$NETLAB_SNMPD_PID" 2>/dev/null
    wait "$NETLAB_SNMPD_PID" 2>/dev/null
}

answer_carries_the_record() {
    started -v
    local reply hex
    reply=$(netlab_udp_peer send --to "$NETLAB_DEVICE_ADDRESS" --hex "$(netlab_gvcp_hex discovery 1234)")
    expect_eq "replies" 1 "$(line_count "$reply")"
    expect_match "addresses and size" '^from=192\.0\.2\.10:3956 to=192\.0\.2\.1 len=256 hex=' \
        "$reply"
    hex=$(hex_of "$reply")
    expect_eq "header" 0000000300f81234 "${hex:0:16}"
    local field what offset size expected
    while read -r what offset size expected; do
        field=$(record_field "$hex" "$offset" "$size")
        expect_eq "$what" "$expected" "$field"
    done <<EOF
MAC 10 6 001a2b3c4d5e
ip-config-current 20 4 00000005
address 36 4 c000020a
mask 52 4 ffffff00
gateway 68 4 c0000201
EOF
    expect_eq "whole record" "$(expected_record "$DEFAULT_MODEL" "$DEFAULT_SERIAL")" "${hex:16}"

    # Neither the acknowledge-required bit nor a payload changes the answer.
    local other
    other=$(netlab_udp_peer send --to "$NETLAB_DEVICE_ADDRESS" \
        --hex '42 00 00 02 00 08 ab cd 01 02 03 04 05 06 07 08')
    expect_eq "payload request replies" 1 "$(line_count "$other")"
    other=$(hex_of "$other")
    expect_eq "payload request header" 0000000300f8abcd "${other:0:16}"
    expect_eq "payload request record" "${hex:16}" "${other:16}"

    # The probe decodes the same record with the daemon's own wire code.
    local json
    json=$(pc_exec "$NETLAB_PROBE" discover --to "$NETLAB_DEVICE_ADDRESS" --json)
    expect_status "gvcp-probe discover" 0 $?
    expect_eq "gvcp-probe's JSON" '[
  {"mac": "00:1a:2b:3c:4d:5e", "address": "192.0.2.10", "mask": "255.255.255.0", '\
'"gateway": "192.0.2.1", "ip_config": "static", "ip_config_current": 5, '\
'"manufacturer": "TELVO Technologies", "model": "'"$DEFAULT_MODEL"'", '\
'"serial": "'"$DEFAULT_SERIAL"'", "from": "192.0.2.10", "from_port": 3956, '\
'"interface": "pc0"}
]' "$json"
    stopped_cleanly
}

# expect_answer_to WHAT TO REQ_ID REQUEST [UDP_PEER_ARGS...]: the discovery REQUEST (hex) with
# this req_id (4 hex digits) gets exactly one 256-byte answer from 192.0.2.10:3956 addressed to TO.
expect_answer_to() {
    local what=$1 to=$2 req_id=$3 request=$4
    shift 4
    local reply
    reply=$(netlab_udp_peer send --to "$NETLAB_DEVICE_ADDRESS" --hex "$request" "$@")
    expect_eq "$what: replies" 1 "$(line_count "$reply")"
    expect_match "$what" "^from=192\.0\.2\.10:3956 to=${to//./\\.} len=256 hex=0000000300f8$req_id" \
        "$reply"
}

broadcast_only_for_requesters_outside() {
    started -v
    expect_answer_to "inside, flag 0x10" 192.0.2.1 0101 \
        "$(netlab_gvcp_hex discovery 0101 --broadcast-ack)"
    expect_answer_to "outside, flag 0x10" 255.255.255.255 0102 \
        "$(netlab_gvcp_hex discovery 0102 --broadcast-ack)" --from "$NETLAB_PC_OTHER_ADDRESS"
    expect_answer_to "outside, flag 0x01" "$NETLAB_PC_OTHER_ADDRESS" 0103 \
        "$(netlab_gvcp_hex discovery 0103)" --from "$NETLAB_PC_OTHER_ADDRESS"
    expect_answer_to "outside, flag 0x00" "$NETLAB_PC_OTHER_ADDRESS" 0104 '42 00 00 02 00 00 01 04' \
        --from "$NETLAB_PC_OTHER_ADDRESS"
    # The bit alone counts, not the other bits of the flag byte.
    expect_answer_to "outside, flag 0xef" "$NETLAB_PC_OTHER_ADDRESS" 0105 '42 ef 00 02 00 00 01 05' \
        --from "$NETLAB_PC_OTHER_ADDRESS"
    stopped_cleanly
}

unknown_commands_are_not_implemented() {
    started -v
    local reply
    # To the requester even from outside the subnet with flag 0x10.
    reply=$(netlab_udp_peer send --to "$NETLAB_DEVICE_ADDRESS" --from "$NETLAB_PC_OTHER_ADDRESS" \
        --hex '42 11 00 80 00 00 00 07')
    expect_eq "0x0080" "from=192.0.2.10:3956 to=198.51.100.1 len=8 hex=8006008100000007" "$reply"
    # The answer code wraps around in 16 bits.
    reply=$(netlab_udp_peer send --to "$NETLAB_DEVICE_ADDRESS" --hex '42 01 ff ff 00 00 ab cd')
    expect_eq "0xffff" "from=192.0.2.10:3956 to=192.0.2.1 len=8 hex=800600000000abcd" "$reply"
    # An acknowledge code sent as a command is just another unknown command.
    reply=$(netlab_udp_peer send --to "$NETLAB_DEVICE_ADDRESS" --hex '42 01 00 03 00 00 00 09')
    expect_eq "0x0003" "from=192.0.2.10:3956 to=192.0.2.1 len=8 hex=8006000400000009" "$reply"
    stopped_cleanly
}

# Each request is sent the moment the answer before it arrived, while that answer's reply socket
# may still be open on the device's own address and port.
back_to_back_requests_are_all_answered() {
    started -v
    expect_match "1000 back-to-back discoveries" '^sent=1000 answered=1000 lost=0$' \
        "$(netlab_udp_peer burst --to "$NETLAB_DEVICE_ADDRESS" --count 1000 --timeout-ms 2000)"
    stopped_cleanly
}

other_keys_are_ignored_silently() {
    started -v
    local request
    for request in '43 01 00 02 00 00 12 34' '00 11 00 80 00 00 12 35' '02 01 00 02 00 00 12 36'; do
        exchange --to "$NETLAB_DEVICE_ADDRESS" --hex "$request"
        expect_eq "'$request' replies" "" "$REPLIES"
        expect_eq "'$request' stdout" $'Received message: 8\nMessage processing done' "$NEW_OUT"
        expect_eq "'$request' stderr" "" "$NEW_ERR"
    done
    stopped_cleanly
}

verbose_lines_of_a_request() {
    started -v
    # The requester is printed as it sent, before the broadcast substitution.
    exchange --to "$NETLAB_DEVICE_ADDRESS" --from "$NETLAB_PC_OTHER_ADDRESS" \
        --hex "$(netlab_gvcp_hex discovery 1234 --broadcast-ack)"
    expect_match "reply" '^from=192\.0\.2\.10:3956 to=255\.255\.255\.255 len=256 ' "$REPLIES"
    expect_eq "discovery stdout" "Received message: 8
Discovery received from 198.51.100.1
Opening socket on local IP 192.0.2.10
Sending ACK
Message processing done" "$NEW_OUT"
    expect_eq "discovery stderr" "" "$NEW_ERR"

    # Nothing is said on receipt of a command the device does not serve.
    exchange --to "$NETLAB_DEVICE_ADDRESS" --hex '42 01 00 80 00 00 12 35'
    expect_eq "not-implemented reply" "from=192.0.2.10:3956 to=192.0.2.1 len=8 hex=8006008100001235" \
        "$REPLIES"
    expect_eq "not-implemented stdout" "Received message: 8
Opening socket on local IP 192.0.2.10
Sending ACK
Message processing done" "$NEW_OUT"
    stopped_cleanly
}

serving_through_a_lost_address() {
    started -v
    dev_exec ip addr flush dev eth0
    # Without an address the device takes only broadcasts. The not-implemented answer finds out
    # when it opens its reply socket.
    exchange --to 255.255.255.255 --broadcast --hex "$(netlab_gvcp_hex discovery 1234 --broadcast-ack)"
    expect_eq "discovery replies" "" "$REPLIES"
    expect_eq "discovery stderr" "Could not get the ip address for the interface eth0" "$NEW_ERR"
    expect_eq "discovery stdout" $'Received message: 8\nDiscovery received from 192.0.2.1\nMessage processing done' "$NEW_OUT"
    exchange --to 255.255.255.255 --broadcast --hex '42 01 00 80 00 00 12 35'
    expect_eq "not-implemented replies" "" "$REPLIES"
    expect_eq "not-implemented stderr" "Could not get the ip address for the interface eth0" \
        "$NEW_ERR"
    expect_eq "not-implemented stdout" $'Received message: 8\nMessage processing done' "$NEW_OUT"

    dev_exec ip addr add "$NETLAB_DEVICE_ADDRESS/24" dev eth0
    dev_exec ip route add default via "$NETLAB_PC_ADDRESS"
    expect_true "no answer after the address came back" netlab_wait_serving
    expect_eq "record after the address came back" \
        "$(expected_record "$DEFAULT_MODEL" "$DEFAULT_SERIAL")" "$(discovery_record)"
    stopped_cleanly
}

serving_after_a_failed_send() {
    started -v
    dev_exec ip route del default
    # Without the default route there is no way back to the other subnet.
    exchange --to "$NETLAB_DEVICE_ADDRESS" --from "$NETLAB_PC_OTHER_ADDRESS" \
        --hex "$(netlab_gvcp_hex discovery 1234)"
    expect_eq "replies" "" "$REPLIES"
    # ENETUNREACH in the C library's words.
    expect_eq "stderr" "sending reply message: Network is unreachable
Destination address: 198.51.100.1" "$NEW_ERR"
    expect_match "stdout" '^Sending ACK$' "$NEW_OUT"

    # The next requester on the link is answered, and the gateway field says there is none.
    expect_eq "record without a default route" \
        "$(expected_record "$DEFAULT_MODEL" "$DEFAULT_SERIAL" 0.0.0.0)" "$(discovery_record)"
    dev_exec ip route add default via "$NETLAB_PC_ADDRESS"
    expect_eq "record with the route back" \
        "$(expected_record "$DEFAULT_MODEL" "$DEFAULT_SERIAL")" "$(discovery_record)"
    expect_answer_to "outside after the route came back" "$NETLAB_PC_OTHER_ADDRESS" 0105 \
        "$(netlab_gvcp_hex discovery 0105)" --from "$NETLAB_PC_OTHER_ADDRESS"
    stopped_cleanly
}

# Without its MAC address the device still answers, with zeros where the address would be.
missing_mac_address_file() {
    NETLAB_HIDE_SYSFS_ADDRESS=1 started -v
    expect_lines_in_order "stderr" "$NETLAB_DAEMON_ERR" \
        "Could not open file: /sys/class/net/eth0/address"
    local hex
    hex=$(hex_of "$(netlab_udp_peer send --to "$NETLAB_DEVICE_ADDRESS" --hex "$(netlab_gvcp_hex discovery 1234)")")
    expect_eq "MAC" 000000000000 "$(record_field "$hex" 10 6)"
    expect_eq "address" c000020a "$(record_field "$hex" 36 4)"
    stopped_cleanly
}

snmp_name_is_the_model() {
    # 40 characters: the record takes 31; the spaces make snmpget quote the value.
    local name="Lab camera 7 on the north gantry line 42"
    expect_eq "name length" 40 "${#name}"
    expect_true "snmpd did not answer" netlab_start_snmpd "$name"
    started -v
    expect_lines_in_order "start-up lines" "$NETLAB_DAEMON_OUT" "Serial number: $DEFAULT_SERIAL" \
        "Model name: $name" "Starting package processing loop"
    expect_eq "record" "$(expected_record "Lab camera 7 on the north gantr" "$DEFAULT_SERIAL")" \
        "$(discovery_record)"
    stopped_cleanly
    stop_snmpd
}

failed_update_unit_keeps_the_table_name() {
    netlab_fake_bin systemctl "printf '%s\n' \"\$*\" >>'$NETLAB_DIR/systemctl.calls'; exit 0"
    expect_true "snmpd did not answer" netlab_start_snmpd "lab-cam-1"
    started -v
    expect_file_text "systemctl calls" "$NETLAB_DIR/systemctl.calls" \
        "--quiet is-failed telvo-snmpd-update
"
    expect_lines_in_order "start-up lines" "$NETLAB_DAEMON_OUT" "Model name: $DEFAULT_MODEL"
    expect_eq "record" "$(expected_record "$DEFAULT_MODEL" "$DEFAULT_SERIAL")" \
        "$(discovery_record)"
    stopped_cleanly
    stop_snmpd
    rm -f "$NETLAB_DIR/dev/fakebin/systemctl"
}

library_chooses_type_and_serial() {
    # 20 characters: the record takes 15.
    local serial=PLX-2024-000123-ABCD
    QEL_SIM_HARDWARE_TYPE=14 QEL_SIM_SERIAL_NUMBER=$serial started -v
    expect_lines_in_order "start-up lines" "$NETLAB_DAEMON_OUT" "Serial number: $serial" \
        "Model name: Pellam RT"
    expect_eq "record" "$(expected_record "Pellam RT" PLX-2024-000123)" "$(discovery_record)"
    stopped_cleanly
}

unreadable_serial_gives_the_table_default() {
    QEL_SIM_FAIL=serial QEL_SIM_ERROR_TEXT="QEL: device 0 does not answer" started -v
    expect_lines_in_order "stderr" "$NETLAB_DAEMON_ERR" "Error reading the serial number:" \
        "QEL: device 0 does not answer"
    expect_lines_in_order "start-up lines" "$NETLAB_DAEMON_OUT" "Serial number: DRHL00001inval" \
        "Model name: $DEFAULT_MODEL"
    expect_eq "record" "$(expected_record "$DEFAULT_MODEL" DRHL00001inval)" "$(discovery_record)"
    stopped_cleanly
}

# A PC whose default route is on another network: the probe asks on every interface, so with no
# options but --long it finds the device and names the interface it answered on, and it
# re-addresses it, into another subnet (acknowledged by broadcast) and back.
probe_asks_on_every_interface() {
    netlab_pc_office_network
    started -v
    pc_exec "$NETLAB_PROBE" discover --to 255.255.255.255 --timeout-ms 500 >/dev/null 2>&1
    expect_status "discover by the default route alone" 1 $?
    local out
    out=$(pc_exec "$NETLAB_PROBE" discover --long)
    expect_status "gvcp-probe discover" 0 $?
    expect_eq "devices" "device 00:1a:2b:3c:4d:5e" "$(grep '^device ' <<<"$out")"
    expect_match "interface" '^  interface     pc0$' "$out"
    out=$(pc_exec "$NETLAB_PROBE" force-ip --allow-broadcast-ack "$NETLAB_DEVICE_MAC" 10.9.8.7 \
        255.255.255.0 0.0.0.0 --timeout-ms 60000)
    expect_match "broadcast acknowledge" \
        '^Acknowledge from 10\.9\.8\.7:3956 on pc0, status 0x0000 \(success\)$' "$out"
    out=$(pc_exec "$NETLAB_PROBE" force-ip "$NETLAB_DEVICE_MAC" "$NETLAB_DEVICE_ADDRESS" \
        255.255.255.0 "$NETLAB_PC_ADDRESS" --timeout-ms 60000)
    expect_match "acknowledge" \
        '^Acknowledge from 192\.0\.2\.10:3956 on pc0, status 0x0000 \(success\)$' "$out"
    stopped_cleanly
    netlab_pc_office_network_remove
}

# Runs the probe in the PC host as nobody, from $USER_PROBE, a copy that user can reach.
USER_PROBE=""
user_probe() {
    pc_exec setpriv --reuid=65534 --regid=65534 --clear-groups "$USER_PROBE" "$@"
}

# What a person at the PC sees, as an ordinary user, since the probe needs no privilege: the
# table and a static address for the device chosen by its serial number; then back by --mac.
probe_for_a_person() {
    started -v
    local dir out
    dir=$(mktemp -d "$NETLAB_DIR/user.XXXXXX") && chmod 711 "$NETLAB_DIR" && chmod 755 "$dir" &&
        cp "$NETLAB_PROBE" "$dir/" || netlab_check_failed "no copy of the probe for nobody"
    USER_PROBE=$dir/gvcp-probe
    out=$(user_probe discover)
    expect_status "discover as nobody" 0 $?
    expect_eq "table" "MAC                Address     Mode    Model            Serial      Interface
00:1a:2b:3c:4d:5e  192.0.2.10  static  $DEFAULT_MODEL  $DEFAULT_SERIAL  pc0" "$out"

    out=$(user_probe force-ip --serial "$DEFAULT_SERIAL" 192.0.2.20 255.255.255.0 192.0.2.1 \
        --timeout-ms 60000)
    expect_status "force-ip by serial" 0 $?
    expect_match "found" "^Found 00:1a:2b:3c:4d:5e, serial $DEFAULT_SERIAL, at 192\.0\.2\.10 on pc0$" \
        "$out"
    expect_match "acknowledge" \
        '^Acknowledge from 192\.0\.2\.20:3956 on pc0, status 0x0000 \(success\)$' "$out"
    expect_match "persistence" '^The change is persistent: .*/etc/network/interfaces' "$out"
    expect_match "at the new address" '^00:1a:2b:3c:4d:5e  192\.0\.2\.20  static ' \
        "$(user_probe discover --to 192.0.2.20)"

    out=$(pc_exec "$NETLAB_PROBE" force-ip --mac "$NETLAB_DEVICE_MAC" "$NETLAB_DEVICE_ADDRESS" \
        255.255.255.0 "$NETLAB_PC_ADDRESS" --timeout-ms 60000)
    expect_match "back by --mac" \
        '^Acknowledge from 192\.0\.2\.10:3956 on pc0, status 0x0000 \(success\)$' "$out"
    stopped_cleanly
}

netlab_case "answer carries the record" answer_carries_the_record
netlab_case "broadcast only for requesters outside" broadcast_only_for_requesters_outside
netlab_case "unknown commands are not implemented" unknown_commands_are_not_implemented
netlab_case "back-to-back requests are all answered" back_to_back_requests_are_all_answered
netlab_case "other keys are ignored silently" other_keys_are_ignored_silently
netlab_case "verbose lines of a request" verbose_lines_of_a_request
netlab_case "serving through a lost address" serving_through_a_lost_address
netlab_case "serving after a failed send" serving_after_a_failed_send
netlab_case "missing MAC address file" missing_mac_address_file
netlab_case "SNMP name is the model" snmp_name_is_the_model
netlab_case "failed update unit keeps the table name" failed_update_unit_keeps_the_table_name
netlab_case "library chooses type and serial" library_chooses_type_and_serial
netlab_case "unreadable serial gives the table default" unreadable_serial_gives_the_table_default
netlab_case "probe asks on every interface" probe_asks_on_every_interface
netlab_case "probe for a person" probe_for_a_person
netlab_finish
