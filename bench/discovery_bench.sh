#!/bin/bash
# Discovery round trips of the daemon against the floor: a bare UDP responder in the same device
# host, plus the one "ip route show" the daemon runs before each reply. Prints the figures and
# exits 0; not a test, not run in CI.
#
# Run as root from anywhere: bash bench/discovery_bench.sh [ROUNDS [COUNT]]
# ROUNDS (default 20) rounds, each timing COUNT (default 100) daemon round trips, COUNT bare ones
# and COUNT route queries, after 20 untimed ones each; the rounds interleave the three so a
# change in the machine's load spreads over all of them. Medians and 99th percentiles are of all
# rounds together. Built without sanitizers, Release, in build-bench (BENCH_BUILD_DIR to change).
set -u
repo=$(cd "$(dirname "$0")/.." && pwd)
rounds=${1:-20}
count=${2:-100}
warmup=20
build=${BENCH_BUILD_DIR:-$repo/build-bench}
# The bare responder listens beside the daemon, on a port of its own.
bare_port=3957
# Time for the daemon to close its reply socket before the next request; see the back-to-back
# pass at the end for what happens without it.
gap_us=2000
timeout_ms=500

source "$repo/bench/bench_build.sh"
bench_build discovery_bench Tarn_reply gvcp-probe udp_peer bare_responder route_query_timer

export NETLAB_BUILD_DIR=$build NETLAB_UDP_PEER=$build/tests/udp_peer
source "$repo/tests/netlab/netlab.sh"
netlab_setup
netlab_device_ifup || netlab_fail_setup "ifup eth0: $(cat "$NETLAB_DIR/ifup.log")"

# Other work on the machine shows in every figure: the load is printed with them.
load_before=$(cut -d" " -f1-3 /proc/loadavg)
samples=$NETLAB_DIR/samples
mkdir -p "$samples"

# Pooled figures of a samples file: count, median, p99 (nearest rank), min, max, as the probe
# computes them.
summary() {
    sort -g "$1" | awk '{ v[NR] = $1 } END {
        if (NR == 0) { print "0 0 0 0 0"; exit }
        m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
        r = int(0.99 * NR); if (r < 0.99 * NR) r++; if (r < 1) r = 1
        printf "%d %.1f %.1f %.1f %.1f\n", NR, m, v[r], v[1], v[NR] }'
}
field() { sed -n "s/.*\b$1=\([0-9.]*\).*/\1/p" <<<"$2"; }
probe() { pc_exec "$build/gvcp-probe" bench-discovery --to "$NETLAB_DEVICE_ADDRESS" "$@"; }

netlab_start_daemon
netlab_wait_serving || netlab_fail_setup "the daemon did not answer: $(cat "$NETLAB_DAEMON_ERR")"
dev_spawn "$NETLAB_DIR/bare.out" "$NETLAB_DIR/bare.out" "$build/bench/bare_responder" "$bare_port" 900
netlab_wait_output "$NETLAB_DIR/bare.out" 'serving' 10 || netlab_fail_setup "no bare responder"

daemon_lost=0
bare_lost=0
for round in $(seq 1 "$rounds"); do
    out=$(probe --count "$count" --warmup "$warmup" --gap-us "$gap_us" --timeout-ms "$timeout_ms" \
        --samples "$samples/daemon.$round")
    lost=$(field lost "$out")
    daemon_lost=$((daemon_lost + ${lost:-0}))
    out=$(probe --echo --port "$bare_port" --count "$count" --warmup "$warmup" --gap-us "$gap_us" \
        --timeout-ms "$timeout_ms" --samples "$samples/bare.$round")
    lost=$(field lost "$out")
    bare_lost=$((bare_lost + ${lost:-0}))
    dev_exec "$build/bench/route_query_timer" "$count" "$warmup" "$gap_us" "$samples/route.$round" >/dev/null
    echo "round $round of $rounds done" >&2
done
for part in daemon bare route; do
    cat "$samples/$part".* >"$samples/$part"
done

# Requests sent the moment the answer arrives, as a quick client would.
burst=200
daemon_burst=$(probe --count "$burst" --warmup 0 --timeout-ms 100)
bare_burst=$(probe --echo --port "$bare_port" --count "$burst" --warmup 0 --timeout-ms 100)
netlab_stop_daemon TERM 10 >/dev/null

read -r dn dmed dp99 dmin dmax < <(summary "$samples/daemon")
read -r bn bmed bp99 bmin bmax < <(summary "$samples/bare")
read -r rn rmed rp99 rmin rmax < <(summary "$samples/route")

echo
echo "Discovery round trips, $rounds rounds of $count after $warmup warm-up each, ${gap_us} us between requests"
printf '  %-28s %6s %10s %10s %10s %10s %6s\n' "" n "median us" "p99 us" "min us" "max us" lost
printf '  %-28s %6d %10.1f %10.1f %10.1f %10.1f %6d\n' "daemon" "$dn" "$dmed" "$dp99" "$dmin" "$dmax" "$daemon_lost"
printf '  %-28s %6d %10.1f %10.1f %10.1f %10.1f %6d\n' "bare responder (floor)" "$bn" "$bmed" "$bp99" "$bmin" "$bmax" "$bare_lost"
printf '  %-28s %6d %10.1f %10.1f %10.1f %10.1f %6s\n' "popen(\"ip route show\")" "$rn" "$rmed" "$rp99" "$rmin" "$rmax" "-"
awk -v d="$dmed" -v f="$bmed" -v r="$rmed" 'BEGIN {
    base = f + r
    if (base <= 0) { print "  no floor measured"; exit }
    ratio = d / base
    printf "  floor + route query: %.1f us; daemon / (floor + route query), medians: %.3f\n", base, ratio
    printf "  the daemon'"'"'s own work: %+.1f us, %+.1f %% of floor + route query (budget +5 %%): %s\n",
        d - base, 100 * (ratio - 1), ratio <= 1.05 ? "within budget" : "OVER BUDGET"
}'
ratios=""
for round in $(seq 1 "$rounds"); do
    ratios+=" $(awk -v d="$(summary "$samples/daemon.$round" | cut -d' ' -f2)" \
        -v f="$(summary "$samples/bare.$round" | cut -d' ' -f2)" \
        -v r="$(summary "$samples/route.$round" | cut -d' ' -f2)" \
        'BEGIN { if (f + r > 0) printf "%.3f", d / (f + r); else print "-" }')"
done
echo "  the same ratio round by round:$ratios"
echo "  median of the rounds' ratios: $(tr ' ' '\n' <<<"$ratios" | grep -v '^-*$' | sort -g |
    awk '{ v[NR] = $1 } END { if (NR) printf "%.3f", NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }')"
echo "  back to back (no gap, 100 ms time-out), $burst requests:" \
    "daemon lost $(field lost "$daemon_burst"), bare responder lost $(field lost "$bare_burst")"
echo "  load average before: $load_before; after: $(cut -d" " -f1-3 /proc/loadavg)"
exit 0
