#!/bin/bash
# Start-up with eth0 down and an interfaces file ifup cannot apply: the daemon puts back the
# backup of the interfaces file or falls back to a dhcp-only file, keeping the file it replaced,
# brings eth0 up with the real ifupdown (dhclient against dnsmasq) and serves, or gives up with
# status 3 when nothing works. A name that cannot be an interface touches nothing.
source "$(dirname "$0")/../netlab/netlab.sh"

netlab_require_built "$NETLAB_UDP_PEER"

DHCP_ONLY='auto eth0
iface eth0 inet dhcp

'
TRYING_FILE='Interface eth0 is down, trying interfaces file
'
KEPT='Kept /etc/network/interfaces as /etc/network/interfaces.before-recovery
'
# No address, so ifup refuses it; the recovery must not depend on what the broken file held.
BROKEN_INTERFACES="$(netlab_interfaces_text static '    netmask 255.255.255.0')
"
# A backup as a rewrite leaves it, but ending without a line feed, so that only a byte-for-byte
# copy gives the same file.
GOOD_BACKUP="# restored from the backup
$(netlab_interfaces_text static '	address 192.0.2.30' '	netmask 255.255.255.0' \
    '	gateway 192.0.2.1')"
# An address ifup rejects, so the interface stays down with this backup.
FAILING_BACKUP="$(netlab_interfaces_text static '    address 192.0.2.300' '    netmask 255.255.255.0')
"

# A new pair of hosts, eth0 down, with INTERFACES as the interfaces file and, when given, BACKUP
# as its backup.
fresh_device() {
    netlab_setup "$1"
    if [ $# -ge 2 ]; then
        printf '%s' "$2" >"$NETLAB_INTERFACES.bak"
    fi
}

# True when eth0 exists with IFF_UP clear.
eth0_is_down() {
    local flags
    flags=$(dev_exec cat /sys/class/net/eth0/flags) || return 1
    [ $((flags & 1)) -eq 0 ]
}

# expect_serving ADDRESS static|dhcp: the daemon answers a discovery at ADDRESS, reporting that
# address and the current IP configuration of that mode.
expect_serving() {
    if ! netlab_wait_serving "$1" 60; then
        netlab_check_failed "no discovery answered at $1"
        return
    fi
    expect_discovery "$1" "$2"
}

no_backup_falls_back_to_dhcp() {
    fresh_device "$BROKEN_INTERFACES"
    netlab_start_dnsmasq || netlab_check_failed "dnsmasq did not start"
    netlab_start_daemon
    local lease
    lease=$(netlab_leased_address) || netlab_check_failed "no lease from dnsmasq"
    expect_match "leased address" '^192\.0\.2\.(1[0-4][0-9]|150)$' "$lease"
    expect_serving "$lease" dhcp
    expect_file_text "stdout" "$NETLAB_DAEMON_OUT" "${TRYING_FILE}Interface eth0 is down and no backupfile, trying dhcp
$KEPT"
    expect_file_text "interfaces file" "$NETLAB_INTERFACES" "$DHCP_ONLY"
    expect_file_text "kept file" "$NETLAB_INTERFACES.before-recovery" "$BROKEN_INTERFACES"
    expect_true "a backup appeared" test ! -e "$NETLAB_INTERFACES.bak"
    expect_true "a temporary file was left" test ! -e "$NETLAB_INTERFACES.tmp"
    expect_match "leased address on eth0" " inet ${lease//./\\.}/24 " \
        "$(dev_exec ip -4 -o addr show dev eth0)"
    expect_clean_stop
}

good_backup_is_restored() {
    fresh_device "$BROKEN_INTERFACES" "$GOOD_BACKUP"
    netlab_start_daemon
    expect_serving 192.0.2.30 static
    expect_file_text "stdout" "$NETLAB_DAEMON_OUT" "$TRYING_FILE${KEPT}Interface eth0 is down, trying backupFile
"
    expect_file_text "interfaces file" "$NETLAB_INTERFACES" "$GOOD_BACKUP"
    expect_file_text "backup" "$NETLAB_INTERFACES.bak" "$GOOD_BACKUP"
    expect_true "a temporary file was left" test ! -e "$NETLAB_INTERFACES.tmp"
    # Only the broken file's ifup failed.
    expect_eq "failed commands" "command 'ifup eth0' failed with 256" \
        "$(grep 'failed with' "$NETLAB_DAEMON_ERR")"
    expect_clean_stop
}

failing_backup_then_dhcp() {
    fresh_device "$BROKEN_INTERFACES" "$FAILING_BACKUP"
    netlab_start_dnsmasq || netlab_check_failed "dnsmasq did not start"
    netlab_start_daemon
    local lease
    lease=$(netlab_leased_address) || netlab_check_failed "no lease from dnsmasq"
    expect_serving "$lease" dhcp
    expect_file_text "stdout" "$NETLAB_DAEMON_OUT" "$TRYING_FILE${KEPT}Interface eth0 is down, trying backupFile
Interface eth0 is down, trying dhcp
"
    # The broken file's and the backup's ifup are reported, and only those failed.
    expect_eq "failed commands" "command 'ifup eth0' failed with 256
command 'ifup eth0' failed with 256" "$(grep 'failed with' "$NETLAB_DAEMON_ERR")"
    expect_file_text "interfaces file" "$NETLAB_INTERFACES" "$DHCP_ONLY"
    # The restored backup is still the backup, so the broken file stays the one kept.
    expect_file_text "kept file" "$NETLAB_INTERFACES.before-recovery" "$BROKEN_INTERFACES"
    expect_file_text "backup" "$NETLAB_INTERFACES.bak" "$FAILING_BACKUP"
    expect_clean_stop
}

# ifup that always fails (and notes each call), so that neither stage can bring eth0 up.
both_stages_fail() {
    fresh_device "$BROKEN_INTERFACES" "$GOOD_BACKUP"
    netlab_fake_bin ifup 'echo "ifup $*" >>/run/ifup.calls; exit 1'
    netlab_run_daemon
    expect_status "with a backup" 3 $?
    expect_file_text "stdout with a backup" "$NETLAB_RUN_OUT" \
        "$TRYING_FILE${KEPT}Interface eth0 is down, trying backupFile
Interface eth0 is down, trying dhcp
"
    expect_file_text "stderr with a backup" "$NETLAB_RUN_ERR" "command 'ifup eth0' failed with 256
command 'ifup eth0' failed with 256
command 'ifup eth0' failed with 256
cannot bring interface eth0 up, aborting.
"
    expect_file_text "ifup calls with a backup" "$NETLAB_RUN/ifup.calls" "ifup eth0
ifup eth0
ifup eth0
"
    expect_file_text "interfaces file" "$NETLAB_INTERFACES" "$DHCP_ONLY"
    expect_file_text "backup" "$NETLAB_INTERFACES.bak" "$GOOD_BACKUP"
    expect_true "eth0 came up" eth0_is_down

    rm -f "$NETLAB_INTERFACES.bak" "$NETLAB_RUN/ifup.calls"
    printf '%s' "$BROKEN_INTERFACES" >"$NETLAB_INTERFACES"
    netlab_run_daemon -v
    expect_status "without a backup" 3 $?
    expect_file_text "stdout without a backup" "$NETLAB_RUN_OUT" "Using interface eth0
${TRYING_FILE}Interface eth0 is down and no backupfile, trying dhcp
$KEPT"
    expect_file_text "stderr without a backup" "$NETLAB_RUN_ERR" \
        "command 'ifup eth0' failed with 256
command 'ifup eth0' failed with 256
cannot bring interface eth0 up, aborting.
"
    expect_file_text "ifup calls without a backup" "$NETLAB_RUN/ifup.calls" "ifup eth0
ifup eth0
"
    expect_file_text "interfaces file without a backup" "$NETLAB_INTERFACES" "$DHCP_ONLY"
    expect_true "a backup appeared" test ! -e "$NETLAB_INTERFACES.bak"
    expect_no_sanitizer_report "stderr" "$NETLAB_RUN_ERR"
}

bad_names_touch_nothing() {
    fresh_device "$BROKEN_INTERFACES" "$GOOD_BACKUP"
    local mtime backup_mtime name
    mtime=$(stat -c %y "$NETLAB_INTERFACES")
    backup_mtime=$(stat -c %y "$NETLAB_INTERFACES.bak")
    # shellcheck disable=SC2016 # the names must reach the daemon unexpanded
    for name in abcdefghijklmnop abcdefghijklmnopqrstu 'eth0;touch /run/injected' \
        'eth0$(touch /run/injected)' 'eth0 eth1'; do
        rm -f "$NETLAB_LOCKFILE"
        netlab_run_daemon -v "$name"
        expect_status "'$name'" 1 $?
        expect_eq "'$name' stderr lines" 1 "$(wc -l <"$NETLAB_RUN_ERR")"
        expect_true "'$name' stderr does not name it" grep -qF -- "$name" "$NETLAB_RUN_ERR"
        expect_no_match "'$name' stdout" 'down|trying' "$(cat "$NETLAB_RUN_OUT")"
        expect_true "'$name' took the lock" test ! -e "$NETLAB_LOCKFILE"
    done
    expect_true "a shell ran the name" test ! -e "$NETLAB_RUN/injected"
    expect_file_text "interfaces file" "$NETLAB_INTERFACES" "$BROKEN_INTERFACES"
    expect_eq "interfaces file time" "$mtime" "$(stat -c %y "$NETLAB_INTERFACES")"
    expect_file_text "backup" "$NETLAB_INTERFACES.bak" "$GOOD_BACKUP"
    expect_eq "backup time" "$backup_mtime" "$(stat -c %y "$NETLAB_INTERFACES.bak")"
    expect_true "a temporary file appeared" test ! -e "$NETLAB_INTERFACES.tmp"
    expect_true "eth0 came up" eth0_is_down
}

netlab_case "no backup falls back to dhcp" no_backup_falls_back_to_dhcp
netlab_case "good backup is restored" good_backup_is_restored
netlab_case "failing backup then dhcp" failing_backup_then_dhcp
netlab_case "both stages fail" both_stages_fail
netlab_case "bad names touch nothing" bad_names_touch_nothing
netlab_finish
