#!/bin/bash
# The command line: help, bad options, which operand names the interface, names refused before
# anything is touched, and error lines marked for the journal.
source "$(dirname "$0")/../netlab/netlab.sh"

USAGE=$'Usage: Tarn_reply [options] [interface]\nThe default network inteface is eth0.\nOptions:\n\t-h : Show help\n\t-v : Enable verbose output\n\n'

netlab_setup
netlab_device_ifup || netlab_fail_setup "ifup eth0: $(cat "$NETLAB_DIR/ifup.log")"

help_exits_before_anything() {
    local args
    for args in "-h" "-v -h" "-h -x" "-h eth9"; do
        rm -f "$NETLAB_LOCKFILE"
        # shellcheck disable=SC2086 # the words are the arguments
        netlab_run_daemon $args
        expect_status "'$args'" 0 $?
        expect_file_text "'$args' usage" "$NETLAB_RUN_OUT" "$USAGE"
        expect_file_text "'$args' stderr" "$NETLAB_RUN_ERR" ""
        expect_true "'$args' created the lock file" test ! -e "$NETLAB_LOCKFILE"
    done
}

unknown_option_is_refused() {
    local args
    for args in "-x" "-x -h" "-v -x"; do
        rm -f "$NETLAB_LOCKFILE"
        # shellcheck disable=SC2086
        netlab_run_daemon $args
        expect_status "'$args'" 1 $?
        expect_file_text "'$args' usage" "$NETLAB_RUN_OUT" "$USAGE"
        expect_file_text "'$args' stderr" "$NETLAB_RUN_ERR" "$NETLAB_DAEMON: invalid option -- 'x'
"
        expect_true "'$args' created the lock file" test ! -e "$NETLAB_LOCKFILE"
    done
}

last_operand_names_the_interface() {
    # "-v" behind the operands still counts: options and operands may be mixed.
    netlab_start_daemon_ready nosuch eth0 -v
    expect_true "the packet loop did not start" netlab_daemon_running
    expect_eq "first line" "Using interface eth0" "$(head -n 1 "$NETLAB_DAEMON_OUT")"
    local reply
    reply=$(netlab_udp_peer send --to "$NETLAB_DEVICE_ADDRESS" --hex "$(netlab_gvcp_hex discovery 1234)")
    expect_match "discovery reply" '^from=192\.0\.2\.10:3956 to=192\.0\.2\.1 len=256 hex=000000030' "$reply"
    expect_clean_stop
}

unsafe_names_are_refused_untouched() {
    local before name
    before=$(cat "$NETLAB_INTERFACES")
    for name in 'eth0;reboot' 'eth0 $(id)' 'abcdefghijklmnop' '../eth0'; do
        rm -f "$NETLAB_LOCKFILE"
        netlab_run_daemon "$name"
        expect_status "'$name'" 1 $?
        expect_eq "'$name' stderr lines" 1 "$(wc -l <"$NETLAB_RUN_ERR")"
        expect_file_text "'$name' stdout" "$NETLAB_RUN_OUT" ""
        expect_true "'$name' took the lock file" test ! -e "$NETLAB_LOCKFILE"
    done
    expect_eq "interfaces file" "$before" "$(cat "$NETLAB_INTERFACES")"
    # Fifteen characters fit the kernel's name field: refused only because no such device exists.
    netlab_run_daemon abcdefghijklmno
    expect_status "15-character name" 1 $?
    expect_file_text "15-character name stderr" "$NETLAB_RUN_ERR" "No such device : abcdefghijklmno
"
}

# Under systemd, standard error is the journal stream that JOURNAL_STREAM names by device and
# inode: error lines then carry the prefix the journal reads as priority err, progress lines none.
# Where it names another file (standard output alone to the journal), nothing changes.
error_lines_marked_for_the_journal() {
    local err=$NETLAB_DIR/run.err
    : >"$err"
    JOURNAL_STREAM=$(stat -c %d:%i "$err") netlab_run_daemon -v 'eth0;reboot'
    expect_status "to the journal" 1 $?
    expect_file_text "stderr to the journal" "$err" "<3>Invalid interface name: eth0;reboot
"
    expect_file_text "stdout beside it" "$NETLAB_RUN_OUT" "Using interface eth0;reboot
"
    JOURNAL_STREAM=$(stat -c %d:%i "$NETLAB_RUN_OUT") netlab_run_daemon 'eth0;reboot'
    expect_file_text "stderr to a file" "$err" "Invalid interface name: eth0;reboot
"
}

netlab_case "help exits before anything" help_exits_before_anything
netlab_case "unknown option is refused" unknown_option_is_refused
netlab_case "last operand names the interface" last_operand_names_the_interface
netlab_case "unsafe names are refused untouched" unsafe_names_are_refused_untouched
netlab_case "error lines marked for the journal" error_lines_marked_for_the_journal
netlab_finish
