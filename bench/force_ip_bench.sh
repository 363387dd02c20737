#!/bin/bash
# Force-IP from request to acknowledge, for a static address and for dhcp, in the test network
# with dnsmasq as the PC's DHCP server, split into the daemon's steps. Prints a table and exits 0;
# not a test, not run in CI.
#
# Run as root from anywhere: bash bench/force_ip_bench.sh [RUNS]
# RUNS (default 5) static and RUNS dhcp requests, alternating, so each one changes the mode.
# The daemon prints no times, so they are taken from outside, all on the monotonic clock:
# - ifdown and ifup: a shim first on the device host's PATH (bench/timed_run) that runs the real
#   /sbin/ifdown or /sbin/ifup and logs its start and end;
# - "Link is ready": the daemon's standard output through a time-stamping reader
#   (bench/line_stamper);
# - the link seen running: `ip monitor link` in the device host through the same reader;
# - request and acknowledge: gvcp-probe's output lines in the PC host through the same reader.
# Built without sanitizers, Release, in build-bench (BENCH_BUILD_DIR to change).
set -u
repo=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-5}
build=${BENCH_BUILD_DIR:-$repo/build-bench}
static_address=192.0.2.20

source "$repo/bench/bench_build.sh"
bench_build force_ip_bench Tarn_reply gvcp-probe udp_peer device_mounts timed_run line_stamper

export NETLAB_BUILD_DIR=$build NETLAB_UDP_PEER=$build/tests/udp_peer
source "$repo/tests/netlab/netlab.sh"
netlab_setup
netlab_require ifup ifdown dhclient dnsmasq
netlab_device_ifup || netlab_fail_setup "ifup eth0: $(cat "$NETLAB_DIR/ifup.log")"
netlab_start_dnsmasq || netlab_fail_setup "dnsmasq did not start: $(cat "$NETLAB_DIR/dnsmasq.log")"

# Other work on the machine shows in every figure: the load is printed with them.
load_before=$(cut -d" " -f1-3 /proc/loadavg)
stamper=$build/bench/line_stamper
tools_log=$NETLAB_DIR/tools.log
: >"$tools_log"
for tool in ifdown ifup; do
    netlab_fake_bin "$tool" "exec '$build/bench/timed_run' '$tools_log' $tool /sbin/$tool \"\$@\""
done

# A FIFO whose lines a reader outside the device host stamps into NAME.stamped.
stamped_fifo() {
    mkfifo "$NETLAB_DIR/$1.fifo"
    "$stamper" <"$NETLAB_DIR/$1.fifo" >"$NETLAB_DIR/$1.stamped" &
    netlab_track $!
}

stamped_fifo link
dev_spawn "$NETLAB_DIR/link.fifo" "$NETLAB_DIR/link.err" ip monitor link dev eth0
stamped_fifo daemon
netlab_start_daemon_writing "$NETLAB_DIR/daemon.fifo" -v
netlab_wait_serving || netlab_fail_setup "the daemon did not answer: $(cat "$NETLAB_DAEMON_ERR")"

# The time (ns) of the first line of stamped FILE at or after T that matches the extended REGEX.
first_after() {
    awk -v t="$2" -v re="$3" '$1 >= t && $0 ~ re { print $1; exit }' "$1"
}
# "START END" of the first run of TOOL that started at or after T.
tool_after() {
    awk -v t="$2" -v tool="$1" '$1 == tool && $2 >= t { print $2, $3; exit }' "$tools_log"
}
ms() { awk -v a="$1" -v b="$2" 'BEGIN { if (a == "" || b == "") print "-"; else printf "%.1f", (b - a) / 1e6 }'; }

rows=$NETLAB_DIR/rows
: >"$rows"
for i in $(seq 1 "$runs"); do
    for mode in static dhcp; do
        if [ "$mode" = static ]; then
            request=("$static_address" 255.255.255.0 192.0.2.1)
        else
            request=(255.255.255.255 0.0.0.0 0.0.0.0)
        fi
        probe_out=$NETLAB_DIR/probe.$mode.$i
        pc_exec "$NETLAB_PROBE" force-ip "$NETLAB_DEVICE_MAC" "${request[@]}" | "$stamper" >"$probe_out"
        t_request=$(first_after "$probe_out" 0 ' Asking ')
        t_ack=$(first_after "$probe_out" 0 ' Acknowledge from .*status 0x0000')
        [ -n "$t_ack" ] || echo "force_ip_bench: run $i ($mode) was not acknowledged" >&2
        read -r down_start down_end < <(tool_after ifdown "$t_request")
        read -r up_start up_end < <(tool_after ifup "$t_request")
        t_wait=$(first_after "$NETLAB_DIR/daemon.stamped" "$t_request" ' Waiting for link\.\.\.$')
        t_ready=$(first_after "$NETLAB_DIR/daemon.stamped" "$t_request" ' Link is ready$')
        t_running=$(first_after "$NETLAB_DIR/link.stamped" "${down_end:-$t_request}" 'LOWER_UP.* state UP')
        # The daemon can see the link running only once ifup has returned.
        t_seen=$(awk -v a="$t_running" -v b="$up_end" 'BEGIN { print (a > b ? a : b) }')
        from=$(sed -n 's/.*Acknowledge from \([0-9.]*\):.*/\1/p' "$probe_out")
        printf '%s %s %s %s %s %s %s %s %s %s %s %s\n' "$mode" "$(ms "$t_request" "$t_ack")" \
            "$(ms "$t_request" "$down_start")" "$(ms "$down_start" "$down_end")" \
            "$(ms "$down_end" "$up_start")" "$(ms "$up_start" "$up_end")" \
            "$(ms "$up_end" "$t_wait")" "$(ms "$t_wait" "$t_ready")" "$(ms "$t_ready" "$t_ack")" \
            "$(ms "$up_end" "$t_running")" "$(ms "$t_seen" "$t_ack")" "${from:--}" >>"$rows"
        echo "run $i ($mode) done" >&2
        sleep 1
    done
done
netlab_stop_daemon TERM 10 >/dev/null

columns() {
    printf '  %-13s %8s %8s %7s %7s %8s %6s %5s %10s %8s %12s  %s\n' "$@"
}
echo
echo "Force-IP, request to acknowledge, $runs runs of each mode, alternating, in milliseconds"
columns mode total received ifdown rewrite ifup socket poll ready-ack running running-ack "ack from"
while read -r -a row; do
    columns "${row[@]}"
done <"$rows"
for mode in static dhcp; do
    # Medians: a first lease or a release can cost seconds once and milliseconds after.
    median=()
    for c in $(seq 2 11); do
        median+=("$(awk -v mode="$mode" -v c="$c" '$1 == mode && $c != "-" { print $c }' "$rows" |
            sort -g | awk '{ v[NR] = $1 } END {
                if (!NR) print "-"; else printf "%.1f\n", NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }')")
    done
    columns "$mode median" "${median[@]}" ""
done
cat <<'EOF'
  received: request sent to ifdown start; rewrite: ifdown end to ifup start (the interfaces file,
  and for static the resolver and sysctl commands); socket: ifup end to "Waiting for link..."
  (the reply socket, with its route query); poll: to "Link is ready"; ready-ack: to the
  acknowledge at the PC; running: the link's running state in ip monitor, from ifup end;
  running-ack: from the later of the two to the acknowledge.
EOF
echo "  load average before: $load_before; after: $(cut -d" " -f1-3 /proc/loadavg)"
exit 0
