#!/bin/bash
# The device as real PC-side peers see it: Aravis's arv-tool lists it, and Wireshark's GVCP
# dissector (tshark) decodes its discovery and not-implemented answers without complaint, with
# the fields the device holds.
source "$(dirname "$0")/../netlab/netlab.sh"

netlab_require arv-tool-0.8 tshark
netlab_setup
netlab_device_ifup || netlab_fail_setup "ifup eth0: $(cat "$NETLAB_DIR/ifup.log")"

# A non-default identity, so the peers can only show it if it came from this device.
MODEL=lab-cam-north-7
SERIAL=TLV7654321
netlab_start_snmpd "$MODEL" || netlab_fail_setup "snmpd did not answer: $(tail -5 "$NETLAB_DIR/snmpd.log")"

# Dotted mask of a prefix length.
prefix_mask() {
    local bits=$(((0xffffffff << (32 - $1)) & 0xffffffff))
    printf '%d.%d.%d.%d' $((bits >> 24)) $(((bits >> 16) & 255)) $(((bits >> 8) & 255)) \
        $((bits & 255))
}

# Starts the daemon and reads what the device holds: DEV_ADDRESS, DEV_MASK and DEV_GATEWAY from
# its network, DEV_MODEL and DEV_SERIAL from the daemon's start-up lines.
start_device() {
    QEL_SIM_SERIAL_NUMBER=$SERIAL netlab_start_daemon_ready -v ||
        netlab_check_failed "the packet loop did not start"
    local inet
    inet=$(dev_exec ip -4 -o addr show dev eth0 | awk '{print $4; exit}')
    DEV_ADDRESS=${inet%/*}
    DEV_MASK=$(prefix_mask "${inet#*/}")
    DEV_GATEWAY=$(dev_exec ip -4 route show default | awk '{print $3; exit}')
    DEV_MODEL=$(sed -n 's/^Model name: //p' "$NETLAB_DAEMON_OUT")
    DEV_SERIAL=$(sed -n 's/^Serial number: //p' "$NETLAB_DAEMON_OUT")
    expect_eq "device address" "$NETLAB_DEVICE_ADDRESS/24" "$inet"
    expect_eq "device model" "$MODEL" "$DEV_MODEL"
    expect_eq "device serial" "$SERIAL" "$DEV_SERIAL"
}

stopped_cleanly() {
    expect_clean_stop
}

aravis_lists_the_device() {
    start_device
    local device_id="TELVO Technologies-$DEV_MODEL-$DEV_SERIAL"
    expect_eq "listing" "$device_id ($DEV_ADDRESS)" \
        "$(pc_exec arv-tool-0.8 2>"$NETLAB_DIR/arv.err")"
    # Aravis asks on each PC address; the answer to 198.51.100.1 comes back through the
    # device's default route.
    pc_exec arv-tool-0.8 --debug=interface:3 >"$NETLAB_DIR/arv-debug.out" 2>&1
    local debug interface
    debug=$(cat "$NETLAB_DIR/arv-debug.out")
    for interface in "$NETLAB_PC_ADDRESS" "$NETLAB_PC_OTHER_ADDRESS"; do
        expect_match "found on $interface" \
            "Device '$device_id' found \(interface ${interface//./\\.}\).* MAC '$NETLAB_DEVICE_MAC'" \
            "$debug"
    done
    # Broadcast answers to the other subnet do not make the device appear twice.
    expect_eq "listing with broadcast answers" "$device_id ($DEV_ADDRESS)" \
        "$(pc_exec arv-tool-0.8 --gv-allow-broadcast-discovery-ack 2>"$NETLAB_DIR/arv.err")"
    stopped_cleanly
}

CAPTURE_OUT=""
CAPTURE_ERR=""
CAPTURE_PID=""

# Starts tshark on pc0 for port 3956 and returns once it demonstrably captures: a probe
# discovery's answer shows in its packet list. 1 when that did not happen in time.
start_capture() {
    local file=$1
    CAPTURE_OUT=$NETLAB_DIR/tshark.out
    CAPTURE_ERR=$NETLAB_DIR/tshark.err
    : >"$CAPTURE_OUT"
    : >"$CAPTURE_ERR"
    pc_spawn "$CAPTURE_OUT" "$CAPTURE_ERR" tshark -l -P -i pc0 -f 'udp port 3956' -w "$file"
    CAPTURE_PID=$NETLAB_LAST_PID
    netlab_wait_output "$CAPTURE_ERR" "^Capturing on 'pc0'" 60 || return 1
    for _ in $(seq 1 40); do
        netlab_udp_peer send --to "$NETLAB_DEVICE_ADDRESS" --hex "$(netlab_gvcp_hex discovery 0001)" \
            --listen-ms 250 >/dev/null
        netlab_wait_output "$CAPTURE_OUT" 'DISCOVERY_ACK' 1 && return 0
        netlab_daemon_running "$CAPTURE_PID" || return 1
    done
    return 1
}

# Stops tshark so it writes out the capture; 1 when it had to be killed.
stop_capture() {
    kill -s INT "$CAPTURE_PID" 2>/dev/null
    local waited=0
    while netlab_daemon_running "$CAPTURE_PID" && [ "$waited" -lt 300 ]; do
        sleep 0.1
        waited=$((waited + 1))
    done
    if netlab_daemon_running "$CAPTURE_PID"; then
        kill -s KILL "$CAPTURE_PID" 2>/dev/null
        wait "$CAPTURE_PID" 2>/dev/null
        return 1
    fi
    wait "$CAPTURE_PID" 2>/dev/null
    return 0
}

# fields FILE FILTER FIELD...: one line per matching packet, the fields joined by '|'.
fields() {
    local file=$1 filter=$2
    shift 2
    local field args=()
    for field in "$@"; do
        args+=(-e "$field")
    done
    tshark -r "$file" -Y "$filter" -T fields -E separator='|' "${args[@]}" 2>/dev/null
}

IDENTITY_FIELDS=(gvcp.cmd.status gvcp.cmd.payloadlength gvcp.bootstrap.manufacturername
    gvcp.bootstrap.modelname gvcp.bootstrap.serialnumber gvcp.cmd.discovery.devicemacaddress
    gvcp.bootstrap.currentip gvcp.bootstrap.currentsubnetmask gvcp.bootstrap.currentdefaultgateway
    gvcp.bootstrap.currentipconfig)

# The identity fields as the dissector should show them for this device; its stanza is static,
# so the current IP configuration is link-local plus persistent IP.
expected_identity() {
    printf '%s|' 0x0000 0x00f8 "TELVO Technologies" "$DEV_MODEL" "$DEV_SERIAL" \
        "$NETLAB_DEVICE_MAC" "$DEV_ADDRESS" "$DEV_MASK" "$DEV_GATEWAY"
    printf '%s' 0x00000005
}

dissector_decodes_the_answers() {
    start_device
    local capture=$NETLAB_DIR/gvcp.pcapng
    if ! start_capture "$capture"; then
        netlab_check_failed "tshark did not capture: $(cat "$CAPTURE_ERR")"
        return
    fi
    netlab_udp_peer send --to "$NETLAB_DEVICE_ADDRESS" --hex "$(netlab_gvcp_hex discovery 1234)" >/dev/null
    # A well-formed read of the version register, which this device does not serve.
    netlab_udp_peer send --to "$NETLAB_DEVICE_ADDRESS" --from "$NETLAB_PC_OTHER_ADDRESS" \
        --hex '42 11 00 80 00 04 12 37 00 00 00 00' >/dev/null
    pc_exec arv-tool-0.8 --gv-allow-broadcast-discovery-ack >/dev/null 2>&1
    expect_true "tshark did not stop on SIGINT" stop_capture
    stopped_cleanly

    local decoded
    decoded=$(tshark -r "$capture" -V 2>/dev/null)
    expect_match "decoded at all" '^GigE Vision Control Protocol$' "$decoded"
    # Only the complaints and the heads of their frames, so a failure says which frame it was.
    expect_eq "complaints" "" "$(grep -E '^Frame [0-9]+:|Malformed|Expert Info' <<<"$decoded" |
        grep -E -B1 'Malformed|Expert Info')"
    expect_eq "device packets not taken for GVCP" "" \
        "$(fields "$capture" "ip.src == $DEV_ADDRESS && !gvcp" frame.number)"

    expect_eq "answer to 0x1234" "192.0.2.10|3956|192.0.2.1|0x0003|$(expected_identity)" \
        "$(fields "$capture" 'gvcp.ack == 0x0003 && gvcp.cmd.req_id == 0x1234' ip.src \
            udp.srcport ip.dst gvcp.ack "${IDENTITY_FIELDS[@]}")"
    local answer
    while read -r answer; do
        expect_eq "every discovery answer" "$(expected_identity)" "$answer"
    done < <(fields "$capture" 'gvcp.ack == 0x0003' "${IDENTITY_FIELDS[@]}")

    local request
    request=$(fields "$capture" 'gvcp.cmd.command == 0x0080 && gvcp.cmd.req_id == 0x1237' \
        frame.number)
    expect_match "read request captured" '^[0-9]+$' "$request"
    expect_eq "not-implemented answer" "192.0.2.10|198.51.100.1|0x8006|0x0081|0x0000|$request" \
        "$(fields "$capture" 'gvcp.ack == 0x0081 && gvcp.cmd.req_id == 0x1237' ip.src ip.dst \
            gvcp.cmd.status gvcp.ack gvcp.cmd.payloadlength gvcp.response_to)"

    # Aravis allowed broadcast answers; only its request from the other subnet gets one.
    expect_match "Aravis request from the other subnet" '^0x11\|1$' \
        "$(fields "$capture" "gvcp.cmd.command == 0x0002 && ip.src == $NETLAB_PC_OTHER_ADDRESS" \
            gvcp.cmd.flags gvcp.cmd.flag.allowbroadcastacq)"
    expect_eq "broadcast answers" 1 \
        "$(fields "$capture" 'gvcp.ack == 0x0003 && ip.dst == 255.255.255.255' frame.number |
            grep -c .)"
}

netlab_case "Aravis lists the device" aravis_lists_the_device
netlab_case "dissector decodes the answers" dissector_decodes_the_answers
netlab_finish
