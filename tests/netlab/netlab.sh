# The two-host test network, sourced by every integration suite (bash).
#
# A device host (network namespace, veth "eth0" with the MAC 00:1a:2b:3c:4d:5e, private mounts of
# /etc/network, /run, /etc/resolv.conf and /var/lib/dhcp) and a PC host (namespace, veth "pc0"
# with 192.0.2.1/24 and 198.51.100.1/24), joined by the veth pair. Nothing here touches the host's
# own network configuration or files, and no traffic leaves the two namespaces.
# See tests/netlab/README.md for the functions.
# shellcheck disable=SC2034 # many variables set here are read by the suites

NETLAB_HOME=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
NETLAB_BUILD_DIR=${NETLAB_BUILD_DIR:-$(cd "$NETLAB_HOME/../.." && pwd)/build}
NETLAB_DAEMON=${NETLAB_DAEMON:-$NETLAB_BUILD_DIR/Tarn_reply}
NETLAB_PROBE=${NETLAB_PROBE:-$NETLAB_BUILD_DIR/gvcp-probe}
NETLAB_UDP_PEER=${NETLAB_UDP_PEER:-$NETLAB_BUILD_DIR/tests/udp_peer}
NETLAB_DEVICE_MOUNTS=${NETLAB_DEVICE_MOUNTS:-$NETLAB_BUILD_DIR/tests/device_mounts}
# Words put before the daemon, e.g. "qemu-aarch64 -L /usr/aarch64-linux-gnu" for a cross build's;
# empty runs it directly.
NETLAB_DAEMON_RUNNER=${NETLAB_DAEMON_RUNNER:-}

NETLAB_DEVICE_MAC=00:1a:2b:3c:4d:5e
NETLAB_PC_MAC=02:1a:2b:3c:4d:01
NETLAB_DEVICE_ADDRESS=192.0.2.10
NETLAB_PC_ADDRESS=192.0.2.1
NETLAB_PC_OTHER_ADDRESS=198.51.100.1
NETLAB_SNMP_COMMUNITY=tulmar
# The third namespace of netlab_device_second_network; empty while there is none.
NETLAB_OFFICE=""

# netlab_interfaces_text METHOD [OPTION_LINE...]: the lines of an interfaces file with lo and an
# auto eth0 stanza of METHOD and these option lines (indent included), no line feed after the last.
netlab_interfaces_text() {
    local line
    printf 'auto lo\niface lo inet loopback\n\nauto eth0\niface eth0 inet %s' "$1"
    shift
    for line in "$@"; do
        printf '\n%s' "$line"
    done
}

NETLAB_DEFAULT_INTERFACES="# interfaces(5) file used by ifup(8) and ifdown(8)
$(netlab_interfaces_text static '    address 192.0.2.10' '    netmask 255.255.255.0' \
    '    gateway 192.0.2.1')
"

# The suites poll by the thousand: bash's own sleep (Debian's bash-builtins) saves a process each
# time. Without it, sleep(1) does the same.
enable -f /usr/lib/bash/sleep sleep 2>/dev/null || true

NETLAB_DEV=""
NETLAB_PC=""
NETLAB_DIR=""
NETLAB_DAEMON_PID=""
NETLAB_TRACKED_PIDS=()

source "$NETLAB_HOME/cases.sh"

# Ends the suite as skipped. CI has every tool and runs as root, so there a skip is a failure.
netlab_skip() {
    if [ "${CI:-}" = "true" ]; then
        echo "FAIL: this suite would be skipped in CI: $*" >&2
        exit 1
    fi
    echo "SKIP: $*"
    exit 77
}

# Skips unless every named program is on PATH.
netlab_require() {
    local tool
    for tool in "$@"; do
        command -v "$tool" >/dev/null 2>&1 || netlab_skip "$tool is not installed"
    done
}

# Fails the suite (not a skip: the build makes these) unless the named built programs exist.
netlab_require_built() {
    local program
    for program in "$@"; do
        if [ ! -x "$program" ]; then
            echo "FAIL: $program has not been built" >&2
            exit 1
        fi
    done
}

# Creates both hosts and a fresh test directory; $1 is the device's interfaces file text
# (default: a static stanza for 192.0.2.10/24, gateway 192.0.2.1). An earlier lab of this suite is
# torn down first. Fails the suite when the network cannot be built.
netlab_setup() {
    local interfaces=${1-$NETLAB_DEFAULT_INTERFACES}
    [ "$(id -u)" = 0 ] || netlab_skip "the test network needs root"
    netlab_require ip unshare mount
    netlab_require_built "$NETLAB_DEVICE_MOUNTS"
    [ -z "$NETLAB_DIR" ] || netlab_teardown
    trap netlab_teardown EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM

    local tag
    tag=$$-$(printf '%04x' $((RANDOM)))
    NETLAB_DIR=$(mktemp -d /tmp/netlab."$tag".XXXXXX) || netlab_fail_setup "no test directory"
    NETLAB_DEV=tarn-dev-$tag
    NETLAB_PC=tarn-pc-$tag
    NETLAB_DEV_CMD=(ip netns exec "$NETLAB_DEV" unshare --mount --uts --propagation private
        "$NETLAB_HOME/device_host.sh" "$NETLAB_DEVICE_MOUNTS" "$NETLAB_DIR")
    NETLAB_INTERFACES=$NETLAB_DIR/dev/etc-network/interfaces
    NETLAB_RESOLV=$NETLAB_DIR/dev/resolv.conf
    NETLAB_RUN=$NETLAB_DIR/dev/run
    NETLAB_LOCKFILE=$NETLAB_RUN/lock/Tarn_Finder.lock
    NETLAB_DAEMON_OUT=$NETLAB_DIR/daemon.out
    NETLAB_DAEMON_ERR=$NETLAB_DIR/daemon.err

    local d=$NETLAB_DIR/dev
    mkdir -p "$d/etc-network" "$d/etc-upper" "$d/etc-work" "$d/run/lock" "$d/run/network" \
        "$d/var-lib-dhcp" "$d/var-lib-snmp" "$d/var-lib-avahi-autoipd" "$d/fakebin" ||
        netlab_fail_setup "no device files"
    # avahi-autoipd drops to its own user and keeps its state there.
    chown --reference=/var/lib/avahi-autoipd "$d/var-lib-avahi-autoipd" 2>/dev/null
    chmod 1777 "$d/run/lock"
    local hooks
    for hooks in /etc/network/if-*.d /etc/network/interfaces.d; do
        [ -d "$hooks" ] && cp -a "$hooks" "$d/etc-network/"
    done
    printf '%s' "$interfaces" >"$NETLAB_INTERFACES"
    cp /etc/resolv.conf "$NETLAB_RESOLV" 2>/dev/null || : >"$NETLAB_RESOLV"

    if ! ip netns add "$NETLAB_DEV" || ! ip netns add "$NETLAB_PC"; then
        netlab_fail_setup "cannot create the namespaces"
    fi
    # Created from inside the device host, so no interface ever appears in the host's namespace.
    ip -n "$NETLAB_DEV" link add eth0 address "$NETLAB_DEVICE_MAC" type veth \
        peer name pc0 address "$NETLAB_PC_MAC" netns "$NETLAB_PC" ||
        netlab_fail_setup "cannot create the veth pair"
    # The last step: a PC's limited broadcast leaves by its default route, and this PC has no
    # other route than its two subnets.
    local step
    for step in "-n $NETLAB_DEV link set lo up" "-n $NETLAB_PC link set lo up" \
        "-n $NETLAB_PC link set pc0 up" "-n $NETLAB_PC addr add $NETLAB_PC_ADDRESS/24 dev pc0" \
        "-n $NETLAB_PC addr add $NETLAB_PC_OTHER_ADDRESS/24 dev pc0" \
        "-n $NETLAB_PC route add 255.255.255.255/32 dev pc0 src $NETLAB_PC_ADDRESS"; do
        # shellcheck disable=SC2086 # each step is a list of words
        ip $step || netlab_fail_setup "ip $step failed"
    done

    local mac
    mac=$(ip netns exec "$NETLAB_DEV" cat /sys/class/net/eth0/address)
    [ "$mac" = "$NETLAB_DEVICE_MAC" ] || netlab_fail_setup "device MAC is '$mac'"
}

netlab_fail_setup() {
    echo "FAIL: test network: $*" >&2
    exit 1
}

# Runs a command in the device host with the test's private mounts; returns its status.
dev_exec() {
    "${NETLAB_DEV_CMD[@]}" "$@"
}

# Starts a command in the background in the device host with stdout to OUT and stderr to ERR
# (both appended); $NETLAB_LAST_PID is the command's own PID, tracked for the teardown. (A
# function sent to the background runs in a subshell, so "dev_exec CMD &" would give the
# subshell's PID instead.)
dev_spawn() {
    local out=$1 err=$2
    shift 2
    "${NETLAB_DEV_CMD[@]}" "$@" >>"$out" 2>>"$err" &
    NETLAB_LAST_PID=$!
    netlab_track "$NETLAB_LAST_PID"
}

# Starts a command in the background in the PC host, like dev_spawn.
pc_spawn() {
    local out=$1 err=$2
    shift 2
    ip netns exec "$NETLAB_PC" "$@" >>"$out" 2>>"$err" &
    NETLAB_LAST_PID=$!
    netlab_track "$NETLAB_LAST_PID"
}

# Runs a command in the PC host; returns its status.
pc_exec() {
    ip netns exec "$NETLAB_PC" "$@"
}

# Brings an interface of the device host (default eth0) up from its interfaces file with Debian's
# ifup, as the device does at boot; output in $NETLAB_DIR/ifup.log. Returns ifup's status.
netlab_device_ifup() {
    netlab_require ifup
    dev_exec ifup "${1:-eth0}" >>"$NETLAB_DIR/ifup.log" 2>&1
}

# A fresh lab with the device serving at 192.0.2.10 from the default file, the daemon run with -v;
# its start-up output dropped.
netlab_serving_device() {
    netlab_setup
    netlab_device_ifup || netlab_fail_setup "ifup eth0: $(cat "$NETLAB_DIR/ifup.log")"
    netlab_start_daemon -v
    netlab_wait_serving || netlab_check_failed "the daemon never served"
    : >"$NETLAB_DAEMON_OUT"
    : >"$NETLAB_DAEMON_ERR"
}

# Remembers a background process so the teardown ends it.
netlab_track() {
    NETLAB_TRACKED_PIDS+=("$@")
}

# The daemon's command line, runner first, with the given arguments, in $NETLAB_DAEMON_COMMAND.
netlab_daemon_command() {
    netlab_require_built "$NETLAB_DAEMON"
    read -ra NETLAB_DAEMON_COMMAND <<<"$NETLAB_DAEMON_RUNNER"
    NETLAB_DAEMON_COMMAND+=("$NETLAB_DAEMON" "$@")
}

# Starts the daemon in the background in the device host with the given arguments; stdout and
# stderr go to $NETLAB_DAEMON_OUT and $NETLAB_DAEMON_ERR, its PID to $NETLAB_DAEMON_PID (with a
# runner the runner's; qemu-user runs the daemon in its own process, so signals reach it).
netlab_start_daemon() {
    : >"$NETLAB_DAEMON_OUT"
    netlab_start_daemon_writing "$NETLAB_DAEMON_OUT" "$@"
}

# netlab_start_daemon_writing OUT ARGS...: netlab_start_daemon with the daemon's standard output
# appended to OUT (a FIFO, say) instead of $NETLAB_DAEMON_OUT.
netlab_start_daemon_writing() {
    local out=$1
    shift
    netlab_daemon_command "$@"
    : >"$NETLAB_DAEMON_ERR"
    # Appending, so a test may empty the files while the daemon runs.
    dev_spawn "$out" "$NETLAB_DAEMON_ERR" "${NETLAB_DAEMON_COMMAND[@]}"
    NETLAB_DAEMON_PID=$NETLAB_LAST_PID
}

# Starts the daemon and waits until its packet loop runs (needs -v among the arguments) or it
# has ended. Returns 1 when the loop did not start within 20 s.
netlab_start_daemon_ready() {
    netlab_start_daemon "$@"
    netlab_wait_loop_started
}

# Waits until the started daemon (run with -v) reports that its packet loop runs. Returns 1 when
# it has ended, or did not report within 20 s.
netlab_wait_loop_started() {
    local waited=0
    until netlab_has_line "$NETLAB_DAEMON_OUT" 'Starting package processing loop'; do
        netlab_daemon_running || return 1
        [ "$waited" -lt 400 ] || return 1
        sleep 0.05
        waited=$((waited + 1))
    done
}

# netlab_has_line FILE LINE: true when FILE holds LINE as a whole line. Read by the shell itself,
# as it is asked again and again while a daemon starts.
netlab_has_line() {
    local line
    while IFS= read -r line; do
        [ "$line" != "$2" ] || return 0
    done <"$1"
    return 1
}

# Runs the daemon in the foreground in the device host (killed after 30 s); stdout and stderr
# in $NETLAB_RUN_OUT and $NETLAB_RUN_ERR. Returns the daemon's exit status.
netlab_run_daemon() {
    netlab_daemon_command "$@"
    NETLAB_RUN_OUT=$NETLAB_DIR/run.out
    NETLAB_RUN_ERR=$NETLAB_DIR/run.err
    timeout --kill-after=5 30 "${NETLAB_DEV_CMD[@]}" "${NETLAB_DAEMON_COMMAND[@]}" \
        >"$NETLAB_RUN_OUT" 2>"$NETLAB_RUN_ERR"
}

# netlab_own_child PID: true while PID is a child of the suite's shell, ended or not, and puts
# its state letter (Z once ended) in $NETLAB_CHILD_STATE. bash reaps a background process as soon
# as it ends, and its PID may then go to any process on the machine (the crash suite alone starts
# hundreds of daemons): checked by number alone, it could be a stranger's, a compiler's of the
# build beside the suites, say, and a teardown would kill it.
netlab_own_child() {
    local stat ppid
    [ -n "$1" ] && read -r stat 2>/dev/null <"/proc/$1/stat" || return 1
    read -r NETLAB_CHILD_STATE ppid _ <<<"${stat##*) }"
    [ "$ppid" = "$$" ]
}

# True while the process (default: the daemon) is alive and not yet a zombie.
netlab_daemon_running() {
    netlab_own_child "${1:-$NETLAB_DAEMON_PID}" && [ "$NETLAB_CHILD_STATE" != Z ]
}

# Waits until FILE has a line matching the extended REGEX, for up to SECONDS (default 10).
# Returns 1 on time-out.
netlab_wait_output() {
    local file=$1 regex=$2 seconds=${3:-10}
    local deadline=$((SECONDS + seconds))
    until grep -qE -- "$regex" "$file" 2>/dev/null; do
        [ "$SECONDS" -lt "$deadline" ] || return 1
        sleep 0.1
    done
}

# Sends SIGNAL (default TERM) to the daemon and waits up to SECONDS (default 5) for it to end.
# Returns its exit status (128 + signal when a signal ended it); when it did not end in time it
# is killed and 124 is returned. $NETLAB_STOP_MS holds the time it took.
netlab_stop_daemon() {
    local signal=${1:-TERM} seconds=${2:-5}
    local pid=$NETLAB_DAEMON_PID
    [ -n "$pid" ] || return 127
    local start=${EPOCHREALTIME/./} end
    netlab_own_child "$pid" && kill -s "$signal" "$pid" 2>/dev/null
    local waited=0
    while netlab_daemon_running "$pid" && [ "$waited" -lt $((seconds * 20)) ]; do
        sleep 0.05
        waited=$((waited + 1))
    done
    end=${EPOCHREALTIME/./}
    NETLAB_STOP_MS=$(((end - start) / 1000))
    if netlab_daemon_running "$pid"; then
        kill -s KILL "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
        NETLAB_DAEMON_PID=""
        return 124
    fi
    # bash's own "Killed" notice for a job ended by a signal is no news to the caller.
    wait "$pid" 2>/dev/null
    local status=$?
    NETLAB_DAEMON_PID=""
    return "$status"
}

# Sends discoveries from the PC host to ADDRESS (default 192.0.2.10) until one is answered, for
# up to SECONDS (default 30): the daemon is then in its packet loop. Returns 1 on time-out, or at
# once when the daemon that netlab_start_daemon started has ended.
netlab_wait_serving() {
    local address=${1:-$NETLAB_DEVICE_ADDRESS} seconds=${2:-30}
    local deadline=$((SECONDS + seconds))
    # burst returns at the answer; send would listen out its whole time first.
    until netlab_udp_peer burst --to "$address" --count 1 --timeout-ms 500 |
        grep -q " answered=1 "; do
        [ "$SECONDS" -lt "$deadline" ] || return 1
        # A daemon started otherwise (by systemd in a container) is only waited for.
        [ -z "$NETLAB_DAEMON_PID" ] || netlab_daemon_running || return 1
    done
}

# Gives the PC host a second interface, "office0" with 203.0.113.1/24 (a veth whose peer
# "office1" stays in the PC host with no address), that carries the default route, and takes pc0's route for 255.255.255.255 away: a limited broadcast then leaves
# by office0, as on a PC whose default route is on the office network. Fails the suite when it
# cannot. netlab_pc_office_network_remove puts the PC host back.
netlab_pc_office_network() {
    local step
    for step in "link add office0 type veth peer name office1" "link set office1 up" \
        "link set office0 up" \
        "addr add 203.0.113.1/24 dev office0" "route add default via 203.0.113.254 dev office0" \
        "route del 255.255.255.255/32 dev pc0"; do
        # shellcheck disable=SC2086 # each step is a list of words
        ip -n "$NETLAB_PC" $step || netlab_fail_setup "ip $step failed"
    done
}

# Gives the device host a second network, as on a device with an office port: "eth1" with
# 198.18.0.2/24, a veth whose peer "office0" (198.18.0.1/24, a route for 255.255.255.255) stands
# in a second PC host, $NETLAB_OFFICE, run commands there with office_exec. Fails the suite when it
# cannot; the teardown removes it.
netlab_device_second_network() {
    NETLAB_OFFICE=${NETLAB_DEV/tarn-dev-/tarn-office-}
    ip netns add "$NETLAB_OFFICE" || netlab_fail_setup "cannot create $NETLAB_OFFICE"
    local step
    for step in "-n $NETLAB_DEV link add eth1 type veth peer name office0 netns $NETLAB_OFFICE"         "-n $NETLAB_DEV link set eth1 up" "-n $NETLAB_DEV addr add 198.18.0.2/24 dev eth1"         "-n $NETLAB_OFFICE link set lo up" "-n $NETLAB_OFFICE link set office0 up"         "-n $NETLAB_OFFICE addr add 198.18.0.1/24 dev office0"         "-n $NETLAB_OFFICE route add 255.255.255.255/32 dev office0"; do
        # shellcheck disable=SC2086 # each step is a list of words
        ip $step || netlab_fail_setup "ip $step failed"
    done
}

office_exec() {
    ip netns exec "$NETLAB_OFFICE" "$@"
}

netlab_pc_office_network_remove() {
    ip -n "$NETLAB_PC" link del office0
    ip -n "$NETLAB_PC" route replace 255.255.255.255/32 dev pc0 src "$NETLAB_PC_ADDRESS"
}

# netlab_readdress_and_stop ADDRESS: once the started daemon serves at 192.0.2.10, gives it
# ADDRESS/24 (gateway 192.0.2.1) by a force-IP from the PC host, then stops it, as on a camera
# re-addressed before. Fails the suite when either step does not happen.
netlab_readdress_and_stop() {
    netlab_wait_serving "$NETLAB_DEVICE_ADDRESS" 30 || netlab_fail_setup "the daemon does not serve"
    pc_exec "$NETLAB_PROBE" force-ip "$NETLAB_DEVICE_MAC" "$1" 255.255.255.0 192.0.2.1 \
        --to "$NETLAB_DEVICE_ADDRESS" --timeout-ms 60000 >/dev/null ||
        netlab_fail_setup "the force-IP to $1 was not acknowledged"
    netlab_stop_daemon TERM
}

# netlab_gvcp_hex ARGS...: GVCP bytes as hex, built by the project's own wire code (udp_peer's
# hex mode): "discovery REQ_ID", "force-ip REQ_ID MAC ADDRESS MASK GATEWAY" (either with
# --broadcast-ack), or the 248-byte discovery record "record MAC ADDRESS MASK GATEWAY static|dhcp
# MODEL SERIAL".
netlab_gvcp_hex() {
    netlab_require_built "$NETLAB_UDP_PEER"
    "$NETLAB_UDP_PEER" hex "$@"
}

# netlab_discovery_hex [ADDRESS]: the hex of the first 256-byte answer (header included) to a
# discovery (req_id 1234) sent to ADDRESS (default the device's), or nothing.
netlab_discovery_hex() {
    netlab_udp_peer send --to "${1:-$NETLAB_DEVICE_ADDRESS}" --hex "$(netlab_gvcp_hex discovery 1234)" |
        sed -n 's/.* len=256 hex=//p' | head -n 1
}

# netlab_record_word HEX OFFSET: the four bytes at OFFSET of a discovery record's HEX (without
# the 8-byte header in front of it in a reply).
netlab_record_word() {
    printf '%s' "${1:$(($2 * 2)):8}"
}

# A FORCEIP_CMD as hex: netlab_force_ip_hex FLAG REQ_ID ADDRESS MASK GATEWAY [MAC]. FLAG 01 asks
# for an acknowledge, 11 for one by broadcast; REQ_ID is four hex digits; MAC defaults to the
# device's.
netlab_force_ip_hex() {
    local broadcast=()
    [ "$1" != 11 ] || broadcast=(--broadcast-ack)
    netlab_gvcp_hex force-ip "$2" "${6:-$NETLAB_DEVICE_MAC}" "$3" "$4" "$5" "${broadcast[@]}"
}

# Puts an executable fake NAME, with SCRIPT as its body (sh), first on the device host's PATH.
netlab_fake_bin() {
    local name=$1 script=$2
    printf '#!/bin/sh\n%s\n' "$script" >"$NETLAB_DIR/dev/fakebin/$name"
    chmod +x "$NETLAB_DIR/dev/fakebin/$name"
}

# Runs the test tool udp_peer in the PC host (see tests/tools/udp_peer.cpp for its arguments).
netlab_udp_peer() {
    netlab_require_built "$NETLAB_UDP_PEER"
    pc_exec "$NETLAB_UDP_PEER" "$@"
}

# Starts a DHCP server (dnsmasq, no DNS) in the PC host on pc0 for 192.0.2.100-150, router
# 192.0.2.1; files dnsmasq.{pid,leases,log} in the test directory. Returns 1 when it did not
# come up within 10 s.
netlab_start_dnsmasq() {
    netlab_require dnsmasq
    local d=$NETLAB_DIR
    : >"$d/dnsmasq.leases"
    pc_spawn "$d/dnsmasq.log" "$d/dnsmasq.log" dnsmasq --keep-in-foreground --port=0 --conf-file=/dev/null \
        --pid-file="$d/dnsmasq.pid" --dhcp-leasefile="$d/dnsmasq.leases" \
        --log-facility="$d/dnsmasq.log" --log-dhcp --user=root --group=root \
        --bind-interfaces --interface=pc0 --except-interface=lo --dhcp-authoritative \
        --dhcp-range=192.0.2.100,192.0.2.150,255.255.255.0,1h --dhcp-option=3,192.0.2.1
    NETLAB_DNSMASQ_PID=$NETLAB_LAST_PID
    netlab_wait_output "$d/dnsmasq.log" 'DHCP, IP range' 10
}

# netlab_leased_address [SECONDS=60]: the address dnsmasq leased to the device, once there is
# one; 1 when none came in time.
netlab_leased_address() {
    netlab_wait_output "$NETLAB_DIR/dnsmasq.leases" " $NETLAB_DEVICE_MAC " "${1:-60}" || return 1
    awk -v mac="$NETLAB_DEVICE_MAC" '$2 == mac {print $3}' "$NETLAB_DIR/dnsmasq.leases"
}

# Starts Debian's snmpd in the device host on udp:127.0.0.1:161 with read community "tulmar" and
# the given sysName; config and log in the test directory. Returns 1 when it does not answer a
# query of sysName.0 within 15 s.
netlab_start_snmpd() {
    local sysname=$1
    netlab_require snmpd snmpget
    local d=$NETLAB_DIR
    mkdir -p "$d/snmp-persist"
    cat >"$d/snmpd.conf" <<EOF
[snmpd] rocommunity $NETLAB_SNMP_COMMUNITY 127.0.0.1
[snmpd] sysName $sysname
[snmp] persistentDir $d/snmp-persist
EOF
    dev_spawn "$d/snmpd.log" "$d/snmpd.log" env SNMP_PERSISTENT_DIR="$d/snmp-persist" \
        snmpd -f -Lo -C -c "$d/snmpd.conf" -p "$d/snmpd.pid" udp:127.0.0.1:161
    NETLAB_SNMPD_PID=$NETLAB_LAST_PID
    local tries
    for _ in $(seq 1 150); do
        if dev_exec snmpget -v1 -c "$NETLAB_SNMP_COMMUNITY" -Ovq -t 1 -r 0 127.0.0.1 \
            .1.3.6.1.2.1.1.5.0 >/dev/null 2>&1; then
            return 0
        fi
        netlab_daemon_running "$NETLAB_SNMPD_PID" || return 1
        sleep 0.1
    done
    return 1
}

# Sends SIGNAL to every process in the two hosts.
netlab_signal_namespaces() {
    local ns pid
    for ns in "$NETLAB_DEV" "$NETLAB_PC" "$NETLAB_OFFICE"; do
        [ -n "$ns" ] || continue
        for pid in $(ip netns pids "$ns" 2>/dev/null); do
            kill -s "$1" "$pid" 2>/dev/null
        done
    done
}

# Ends every process the test started, in and out of the namespaces, deletes both namespaces
# and the test directory (kept when NETLAB_KEEP=1, for a look after a failure).
netlab_teardown() {
    local ns pid pids
    for pid in "${NETLAB_TRACKED_PIDS[@]}"; do
        netlab_own_child "$pid" && kill -s TERM "$pid" 2>/dev/null
    done
    netlab_signal_namespaces TERM
    local waited=0
    while [ "$waited" -lt 30 ]; do
        pids=""
        for ns in "$NETLAB_DEV" "$NETLAB_PC" "$NETLAB_OFFICE"; do
            [ -n "$ns" ] && pids+=$(ip netns pids "$ns" 2>/dev/null)
        done
        [ -z "$pids" ] && break
        sleep 0.1
        waited=$((waited + 1))
    done
    netlab_signal_namespaces KILL
    for pid in "${NETLAB_TRACKED_PIDS[@]}"; do
        netlab_own_child "$pid" && kill -s KILL "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    NETLAB_TRACKED_PIDS=()
    NETLAB_DAEMON_PID=""
    for ns in "$NETLAB_DEV" "$NETLAB_PC" "$NETLAB_OFFICE"; do
        [ -n "$ns" ] && ip netns del "$ns" 2>/dev/null
    done
    NETLAB_DEV=""
    NETLAB_PC=""
    NETLAB_OFFICE=""
    if [ -n "$NETLAB_DIR" ] && [ -d "$NETLAB_DIR" ]; then
        if [ "${NETLAB_KEEP:-0}" = 1 ]; then
            echo "netlab: kept $NETLAB_DIR" >&2
        else
            rm -rf -- "$NETLAB_DIR"
        fi
    fi
    NETLAB_DIR=""
    return 0
}
