#!/bin/bash
# SIGTERM and SIGINT stop the idle daemon at once, in order, with status 0.
source "$(dirname "$0")/../netlab/netlab.sh"

netlab_setup
netlab_device_ifup || netlab_fail_setup "ifup eth0: $(cat "$NETLAB_DIR/ifup.log")"

stops_on() {
    local signal=$1 line=$2
    netlab_start_daemon_ready -v
    expect_true "the packet loop did not start" netlab_daemon_running
    # Idle for a while first, so the signal meets the daemon waiting in its receive.
    sleep 1.5
    netlab_stop_daemon "$signal" 5
    expect_status "SIG$signal" 0 $?
    expect_eq "last line" "$line" "$(tail -n 1 "$NETLAB_DAEMON_OUT")"
    expect_no_sanitizer_report "stderr" "$NETLAB_DAEMON_ERR"
    echo "  SIG$signal took $NETLAB_STOP_MS ms"
}

stops_on_sigterm() { stops_on TERM "Sigterm received"; }
stops_on_sigint() { stops_on INT "Sigint received"; }

netlab_case "stops on SIGTERM" stops_on_sigterm
netlab_case "stops on SIGINT" stops_on_sigint
netlab_finish
