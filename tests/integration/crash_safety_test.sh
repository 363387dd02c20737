#!/bin/bash
# The daemon killed (SIGKILL: a crash, the OOM killer) at random moments of force-IP rewrites:
# the interfaces file is always the whole old or the whole new text, never missing, empty or cut
# short, and the next start removes what an interrupted rewrite left and serves. A kill between
# ifdown and ifup leaves eth0 down, so that start also brings it up again, with the file as it is
# or else its backup: one whole force-IP first makes sure there is one, as on any camera that has
# been re-addressed before.
source "$(dirname "$0")/../netlab/netlab.sh"

netlab_require_built "$NETLAB_UDP_PEER" "$NETLAB_PROBE"
# The kills come in rounds, each on a test network of its own, so CTest can run them side by side.
ROUNDS=4
KILLS=$((${CRASH_SAFETY_KILLS:-200} / ROUNDS))

# rewritten_for TEXT ADDRESS: TEXT after a force-IP to ADDRESS/24 via 192.0.2.1. Every file of
# this suite ends with eth0's stanza, so the new one simply takes its place.
rewritten_for() {
    printf '%siface eth0 inet static\n  address %s\n  netmask 255.255.255.0\n  gateway 192.0.2.1\n\n' \
        "${1%%iface eth0 inet*}" "$2"
}

# Prints the address at which the daemon answers a discovery once it does, whatever the start-up
# recovery gave eth0; 1 when it does not within about a minute. Its start line is waited for first,
# without a process per look: each kill of the hundreds starts a daemon.
serving_address() {
    local waited=0 at
    netlab_wait_loop_started || return 1
    while [ "$waited" -lt 250 ]; do
        # Read from outside: the device host's private mounts are not needed for it.
        at=$(ip -n "$NETLAB_DEV" -4 -o addr show dev eth0 |
            awk '{split($4, a, "/"); print a[1]; exit}')
        if [ -n "$at" ] && netlab_udp_peer burst --to "$at" --count 1 --timeout-ms 200 |
            grep -q ' answered=1 '; then
            echo "$at"
            return 0
        fi
        netlab_daemon_running || return 1
        sleep 0.05
        waited=$((waited + 1))
    done
    return 1
}

# measure_rewrite REQUEST_HEX: sends the force-IP and sets REWRITE_MS to the milliseconds from its
# sending until the interfaces file is replaced. The request reaches the rewrite after a static
# ifdown and its hooks, whose time depends on the machine and its load, so each round measures it
# before it spreads its kills around it. Returns 1 when no rewrite came within 10 s.
measure_rewrite() {
    local before=$NETLAB_DIR/before-rewrite start waited=0
    : >"$before"
    # Past the file time stamps' granularity, so the new file is newer.
    sleep 0.02
    netlab_udp_peer send --to "$NETLAB_DEVICE_ADDRESS" --listen-ms 0 --hex "$1"
    start=${EPOCHREALTIME/./}
    until [ "$NETLAB_INTERFACES" -nt "$before" ]; do
        [ "$waited" -lt 10000 ] || return 1
        sleep 0.001
        waited=$((waited + 1))
    done
    REWRITE_MS=$(((${EPOCHREALTIME/./} - start) / 1000))
}

# Waits until nothing but snmpd runs in the device host: the killed daemon's ifdown, ifup and
# shell children carry on as orphans, as they would on the camera.
wait_for_orphans() {
    local waited=0 pid others comm
    while [ "$waited" -lt 200 ]; do
        others=""
        for pid in $(ip netns pids "$NETLAB_DEV"); do
            comm=""
            read -r comm 2>/dev/null <"/proc/$pid/comm"
            case $comm in
                snmpd | "") ;;
                *) others+=" $pid" ;;
            esac
        done
        [ -z "$others" ] && return 0
        sleep 0.05
        waited=$((waited + 1))
    done
    netlab_check_failed "processes left in the device host:$others"
}

# The files an interrupted rewrite left, in $LEFTOVERS.
leftovers() {
    local name
    LEFTOVERS=""
    for name in interfaces.tmp interfaces.bak.tmp; do
        [ ! -e "$NETLAB_DIR/dev/etc-network/$name" ] || LEFTOVERS+="$name "
    done
}

killed_during_rewrites() {
    netlab_setup
    netlab_device_ifup || netlab_fail_setup "ifup eth0: $(cat "$NETLAB_DIR/ifup.log")"
    # With an agent to answer, start-up takes milliseconds instead of snmpget's time-out.
    netlab_start_snmpd "crash-lab" || netlab_fail_setup "snmpd did not answer"
    netlab_start_daemon -v
    netlab_wait_serving "$NETLAB_DEVICE_ADDRESS" 30 || netlab_fail_setup "the daemon does not serve"
    measure_rewrite "$(netlab_force_ip_hex 01 ffff 192.0.2.21 255.255.255.0 192.0.2.1)" ||
        netlab_fail_setup "a force-IP did not replace the interfaces file"
    netlab_wait_serving 192.0.2.21 30 || netlab_fail_setup "the daemon does not serve at 192.0.2.21"
    netlab_stop_daemon TERM
    wait_for_orphans
    # A quarter of that time to either side: before, in and after the rewrite, which itself takes
    # only milliseconds.
    local earliest=$((REWRITE_MS * 3 / 4)) latest=$((REWRITE_MS * 5 / 4))
    local kill old new address at delay interrupted=0 text req_id pause
    for kill in $(seq 1 "$KILLS"); do
        netlab_start_daemon -v
        if ! at=$(serving_address); then
            netlab_check_failed "kill $kill: the daemon does not serve: $(tail -n 3 "$NETLAB_DAEMON_ERR")"
            return
        fi
        leftovers
        [ -z "$LEFTOVERS" ] || netlab_check_failed "kill $kill: the start left $LEFTOVERS"
        old=$(<"$NETLAB_INTERFACES")
        address=192.0.2.$((20 + kill % 2))
        new=$(rewritten_for "$old" "$address")
        delay=$((earliest + RANDOM % (latest - earliest + 1)))
        printf -v req_id '%04x' "$kill"
        printf -v pause '%d.%03d' $((delay / 1000)) $((delay % 1000))
        netlab_udp_peer send --to "$at" --listen-ms 0 \
            --hex "$(netlab_force_ip_hex 01 "$req_id" "$address" 255.255.255.0 192.0.2.1)"
        sleep "$pause"
        netlab_stop_daemon KILL
        if [ ! -f "$NETLAB_INTERFACES" ]; then
            netlab_check_failed "kill $kill after $delay ms: the interfaces file is missing"
            return
        fi
        text=$(<"$NETLAB_INTERFACES")
        if [ "$text" != "$old" ] && [ "$text" != "$new" ]; then
            netlab_check_failed "kill $kill after $delay ms: the interfaces file is neither the old nor the new text:
$text"
            return
        fi
        leftovers
        [ -z "$LEFTOVERS" ] || interrupted=$((interrupted + 1))
        wait_for_orphans
    done
    netlab_start_daemon -v
    expect_true "no daemon serving after the last kill" serving_address
    leftovers
    expect_eq "files left after the last start" "" "$LEFTOVERS"
    netlab_stop_daemon TERM
    expect_status "stop" 0 $?
    echo "  $KILLS kills $earliest to $latest ms after the request, $interrupted of them in the middle of a rewrite"
}

# A kill leaves the page cache, so the rounds above cannot see a power cut: what reached the disk
# then is only what was synced. The new file must be synced before its rename makes it the
# interfaces file, and the folder after, or the cut may leave an empty file under that name.
synced_before_the_rename() {
    netlab_setup
    netlab_device_ifup || netlab_fail_setup "ifup eth0: $(cat "$NETLAB_DIR/ifup.log")"
    netlab_require strace
    netlab_start_snmpd "crash-lab" || netlab_fail_setup "snmpd did not answer"
    netlab_start_daemon
    local trace=$NETLAB_DIR/strace.log tracer
    dev_spawn /dev/null "$NETLAB_DIR/strace.err" strace -f -y -o "$trace" \
        -e trace=fsync,fdatasync,rename,renameat,renameat2 -p "$NETLAB_DAEMON_PID"
    tracer=$NETLAB_LAST_PID
    netlab_wait_output "$NETLAB_DIR/strace.err" 'attached' ||
        netlab_check_failed "strace did not attach: $(cat "$NETLAB_DIR/strace.err")"
    netlab_wait_serving "$NETLAB_DEVICE_ADDRESS" 30 || netlab_check_failed "the daemon does not serve"
    pc_exec "$NETLAB_PROBE" force-ip "$NETLAB_DEVICE_MAC" 192.0.2.21 255.255.255.0 192.0.2.1 \
        --to "$NETLAB_DEVICE_ADDRESS" --timeout-ms 60000 >/dev/null ||
        netlab_check_failed "the force-IP was not acknowledged"
    # Detached before the daemon ends: LeakSanitizer's exit check does not run under ptrace.
    kill "$tracer" 2>/dev/null
    wait "$tracer" 2>/dev/null
    expect_clean_stop
    local synced renamed folder
    synced=$(grep -nE 'f(data)?sync\([0-9]+</etc/network/interfaces\.tmp>\) += 0' "$trace" | head -1)
    renamed=$(grep -nE 'rename.*"/etc/network/interfaces\.tmp", .*"/etc/network/interfaces"\) += 0' \
        "$trace" | head -1)
    folder=$(grep -nE 'f(data)?sync\([0-9]+</etc/network>\) += 0' "$trace" | tail -1)
    if [ -z "$synced" ] || [ -z "$renamed" ] || [ -z "$folder" ] ||
        [ "${synced%%:*}" -ge "${renamed%%:*}" ] || [ "${folder%%:*}" -le "${renamed%%:*}" ]; then
        netlab_check_failed "expected the new file synced, renamed, then /etc/network synced:
$(grep -E 'interfaces|/etc/network' "$trace")"
    fi
}

for round in $(seq 1 "$ROUNDS"); do
    netlab_case "killed during rewrites, round $round of $ROUNDS" killed_during_rewrites
done
netlab_case "new file synced before the rename, the folder after" synced_before_the_rename
netlab_finish
