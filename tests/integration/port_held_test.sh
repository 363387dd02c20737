#!/bin/bash
# A port 3956 held by another program without address reuse: the daemon cannot bind and ends
# with status 2 and the system's reason.
source "$(dirname "$0")/../netlab/netlab.sh"

netlab_setup
netlab_device_ifup || netlab_fail_setup "ifup eth0: $(cat "$NETLAB_DIR/ifup.log")"

refused_when_port_is_held() {
    local holder bind_address
    for bind_address in 0.0.0.0 "$NETLAB_DEVICE_ADDRESS"; do
        : >"$NETLAB_DIR/hold.out"
        dev_spawn "$NETLAB_DIR/hold.out" "$NETLAB_DIR/hold.out" \
            "$NETLAB_UDP_PEER" hold --bind "$bind_address" --port 3956 --seconds 60
        holder=$NETLAB_LAST_PID
        if ! netlab_wait_output "$NETLAB_DIR/hold.out" '^holding ' 10; then
            netlab_check_failed "the port could not be held: $(cat "$NETLAB_DIR/hold.out")"
            return
        fi
        netlab_run_daemon -v
        expect_status "held on $bind_address" 2 $?
        expect_file_text "held on $bind_address stderr" "$NETLAB_RUN_ERR" \
            "binding socket: Address already in use
"
        expect_no_match "held on $bind_address" '^Starting package processing loop' \
            "$(cat "$NETLAB_RUN_OUT")"
        kill "$holder"
        wait "$holder" 2>/dev/null
    done
}

netlab_case "refused when the port is held" refused_when_port_is_held
netlab_finish
