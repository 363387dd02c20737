#!/bin/bash
# One daemon per device: the lock on /var/lock/Tarn_Finder.lock refuses a second instance without
# disturbing the first, and is free again the moment the first has stopped.
source "$(dirname "$0")/../netlab/netlab.sh"

netlab_setup
netlab_device_ifup || netlab_fail_setup "ifup eth0: $(cat "$NETLAB_DIR/ifup.log")"

discovery_reply() {
    netlab_udp_peer send --to "$NETLAB_DEVICE_ADDRESS" --hex "$(netlab_gvcp_hex discovery 1234)"
}

second_instance_is_refused() {
    netlab_start_daemon_ready -v
    expect_true "the first instance did not start" netlab_daemon_running

    netlab_run_daemon -v
    expect_status "second with -v" 1 $?
    expect_file_text "second with -v stdout" "$NETLAB_RUN_OUT" "Using interface eth0
"
    expect_file_text "second with -v stderr" "$NETLAB_RUN_ERR" \
        "Another instance of this application is already running
"
    netlab_run_daemon
    expect_status "second" 1 $?
    expect_file_text "second stdout" "$NETLAB_RUN_OUT" ""

    expect_true "the first instance ended" netlab_daemon_running
    expect_match "first still answers" ' len=256 hex=00000003' "$(discovery_reply)"
    netlab_stop_daemon TERM
    expect_status "first stop" 0 $?
}

lock_is_free_after_stop() {
    netlab_start_daemon_ready -v
    netlab_stop_daemon TERM
    expect_status "first stop" 0 $?
    expect_true "the lock file was removed" test -f "$NETLAB_LOCKFILE"

    netlab_start_daemon_ready -v
    expect_true "the next instance did not start" netlab_daemon_running
    expect_no_match "next instance" 'Another instance' "$(cat "$NETLAB_DAEMON_ERR")"
    expect_match "next instance answers" ' len=256 hex=00000003' "$(discovery_reply)"
    netlab_stop_daemon TERM
    expect_status "next stop" 0 $?
}

netlab_case "second instance is refused" second_instance_is_refused
netlab_case "lock is free after stop" lock_is_free_after_stop
netlab_finish
