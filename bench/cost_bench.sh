#!/bin/bash
# What the daemon costs, in one table whose rows come in the order they are measured: start-up
# time with and without an SNMP agent, memory and descriptors after start, idle CPU and wake-ups,
# discovery round trips against their floor, back-to-back and flood answering, a second PC's
# answers and the daemon's CPU while one PC floods, memory and descriptors after many replies,
# and the stripped sizes. Prints the figures with their budgets; exits 1 after one line on
# standard error for each figure of this tree's daemon over its budget. Not a test, not run in CI.
#
# Run as root from anywhere: bash bench/cost_bench.sh [OPTION VALUE]...
#   --replies N  replies before memory and descriptors are taken again (default 100000; every
#                reply runs "ip route show", so this takes minutes: lower it for a trial run)
#   --rounds N   rounds of round trips (default 20), each timing COUNT daemon round trips,
#   --count N    COUNT bare ones and COUNT route queries (default 100), after 20 untimed ones each
#   --burst N    back-to-back discoveries (default 1000)
#   --flood N    datagrams in the flood (default 100000)
#   --starts N   start-ups timed without and with an SNMP agent (default 3 each)
#   --idle S     seconds of idle measurement (default 10)
#   --fair S     seconds of the flood a second PC asks through (default 10)
#   --baseline DAEMON  also measure another build of Tarn_reply (e.g. of an earlier commit, built
#                with bench/bench_build.sh's settings), first, and print its key figures beside
#                this tree's
# Built without sanitizers, Release, in build-bench (BENCH_BUILD_DIR to change).
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
replies=100000
rounds=20
count=100
burst=1000
flood=100000
starts=3
idle=10
fair=10
baseline=""
usage="usage: bash bench/cost_bench.sh [--replies N] [--rounds N] [--count N] [--burst N] \
[--flood N] [--starts N] [--idle S] [--fair S] [--baseline DAEMON]"
while [ $# -gt 0 ]; do
    case "$1" in
        --baseline)
            if [ $# -lt 2 ] || [ ! -x "$2" ]; then
                echo "cost_bench: --baseline needs a daemon to run" >&2
                exit 2
            fi
            baseline=$(realpath "$2")
            shift 2
            ;;
        --replies | --rounds | --count | --burst | --flood | --starts | --idle | --fair)
            if [ $# -lt 2 ] || ! [[ $2 =~ ^[1-9][0-9]{0,8}$ ]]; then
                echo "cost_bench: $1 needs a positive number" >&2
                exit 2
            fi
            declare "${1#--}=$2"
            shift 2
            ;;
        *)
            echo "$usage" >&2
            exit 2
            ;;
    esac
done
warmup=20
build=${BENCH_BUILD_DIR:-$repo/build-bench}
# The bare responder listens beside the daemon, on a port of its own.
bare_port=3957
# The round trips keep the pause between requests they have always had, so their figures stay
# comparable from one version to the next.
gap_us=2000
timeout_ms=500
# How long each start-up probe waits for its answer: longer than an answer takes, so a serving
# daemon answers the probe it is sent.
probe_wait_ms=20
# Replies between two looks at the daemon's memory.
step=10000

# The budgets, one row each: the figure's variable, the test, the limit, and the budget as the
# table shows it. A figure that could not be taken misses its budget.
budgets="hwm_start    <= 4096 <= 4096 KiB
idle_ms      <= 10   <= 10 ms
ratio        <= 1.05 <= 1.05
burst_lost   == 0    0
fair_share   >= 90   >= 90 %
fair_cpu     <= 50   <= 50 %
hwm_end      <= 4096 <= 4096 KiB
rss_rise     <= 0    flat
fds_changed  == 0    no growth"

source "$repo/bench/bench_build.sh"
bench_build cost_bench Tarn_reply QELInterface udp_peer device_mounts bare_responder discovery_round_trips \
    route_query_timer discovery_flood sample_stats

export NETLAB_BUILD_DIR=$build NETLAB_UDP_PEER=$build/tests/udp_peer
source "$repo/tests/netlab/netlab.sh"
# The test network's helpers are not written for errexit: each is called where a failure is
# handled (an || or an if), which lets its own commands fail.
ours=$NETLAB_DAEMON
netlab_require strip || exit 1

# Other work on the machine shows in every figure: the machine goes with them.
cpu_model=$(awk -F': *' '/^model name/ { print $2; exit }' /proc/cpuinfo)
machine="${cpu_model:-unknown CPU}, $(nproc) cores, $(uname -sr)"

# Pooled figures of samples files: count, median, p99 (nearest rank), min, max.
summary() { "$build/bench/sample_stats" "$@"; }
# The median of the numbers on standard input, one a line, to DIGITS decimals (default 3); nothing
# for none.
median() {
    "$build/bench/sample_stats" /dev/stdin |
        awk -v digits="${1:-3}" '$1 > 0 { printf "%.*f", digits, $2 }'
}
# The value of NAME=VALUE in the last line of TEXT that has it: field NAME TEXT.
field() { sed -n "s/.*\b$1=\([0-9.e+-]*\).*/\1/p" <<<"$2" | tail -n 1; }
# The same as a whole number, 0 when missing, for sums.
number() {
    local value
    value=$(field "$1" "$2")
    echo "${value:-0}"
}
# The measuring tools end non-zero when answers are missing; what they print still counts.
round_trips() { pc_exec "$build/bench/discovery_round_trips" --to "$NETLAB_DEVICE_ADDRESS" "$@" || true; }
udp_peer() { netlab_udp_peer "$@" || true; }
# kB of one line of /proc/PID/status: status_kb PID VmRSS.
status_kb() { awk -v f="$2:" '$1 == f { print $2 }' "/proc/$1/status"; }
# Time on a CPU in ns (first field of schedstat), and context switches of both kinds.
cpu_ns() { cut -d" " -f1 "/proc/$1/schedstat"; }
switches() { awk '/ctxt_switches:/ { n += $2 } END { print n }' "/proc/$1/status"; }
# utime + stime in clock ticks (fields 14 and 15 of stat, counted after the parenthesised name):
# a coarse check of schedstat's nanoseconds.
tick_ms=$((1000 / $(getconf CLK_TCK)))
cpu_ticks() { sed 's/.*) //' "/proc/$1/stat" | awk '{ print $12 + $13 }'; }
# The same with cutime and cstime: the children it waited for.
cpu_ticks_with_children() { sed 's/.*) //' "/proc/$1/stat" | awk '{ print $12 + $13 + $14 + $15 }'; }
# The daemon's descriptors, "FD TARGET" a line.
descriptors() {
    local fd
    for fd in /proc/"$1"/fd/*; do
        echo "${fd##*/} $(readlink "$fd")"
    done | sort -n
}

# Ends the benchmark with the daemon's output when it has stopped by itself: a fault to report,
# and every figure after it would be of time-outs.
require_daemon() {
    netlab_daemon_running "$pid" && return 0
    echo "cost_bench: the daemon ended during $1; its standard error:" >&2
    tail -n 20 "$NETLAB_DAEMON_ERR" >&2
    exit 1
}

# Starts the daemon and sends discoveries from the PC host until one is answered; sets
# startup_ms to the time from the daemon's exec to the end of the probe that got the answer, and
# probe_ms to that probe's length: each sends one discovery from a port of its own and waits up
# to probe_wait_ms for its answer, so the figure is late by at most one probe. A probe that asked
# again from the same port before its answer came would be answered only now and then, as a
# flooding PC is. Returns 1 when nothing was answered within 30 s.
timed_start() {
    rm -f "$NETLAB_DIR/launched"
    netlab_start_daemon
    local answered
    # shellcheck disable=SC2016 # expanded by the shell in the PC host
    answered=$(pc_exec bash -c 'end=$((EPOCHSECONDS + 30))
        while [ "$EPOCHSECONDS" -lt "$end" ]; do
            from=$EPOCHREALTIME
            out=$("$1" burst --to "$2" --count 1 --timeout-ms "$3")
            if [[ $out == *" answered=1 "* ]]; then echo "$from $EPOCHREALTIME"; exit 0; fi
        done
        exit 1' _ "$NETLAB_UDP_PEER" "$NETLAB_DEVICE_ADDRESS" "$probe_wait_ms") || return 1
    read -r startup_ms probe_ms < <(awk -v l="$(cat "$NETLAB_DIR/launched")" \
        -v a="${answered% *}" -v b="${answered#* }" \
        'BEGIN { printf "%.1f %.1f\n", (b - l) * 1000, (b - a) * 1000 }')
}

# Measures DAEMON in a fresh test network, leaving the figures in the variables and the files of
# the test directory that the table and the budgets read.
measure() {
    daemon=$1
    started_at=$SECONDS
    netlab_setup || exit 1
    # Nor is its teardown, which a failing wait would cut short.
    trap 'set +e; netlab_teardown' EXIT
    netlab_device_ifup || netlab_fail_setup "ifup eth0: $(cat "$NETLAB_DIR/ifup.log")"
    load_before=$(cut -d" " -f1-3 /proc/loadavg)
    samples=$NETLAB_DIR/samples
    mkdir -p "$samples"

    # The daemon starts through a wrapper that notes the moment of its exec and closes what this
    # shell inherited from whatever started it, so the descriptors counted are the daemon's own,
    # as under init. exec keeps the PID, so the test network's bookkeeping holds.
    # shellcheck disable=SC2016 # the wrapper's own expansions
    printf '%s\n' '#!/bin/bash' \
        'for fd in /proc/$$/fd/*; do fd=${fd##*/}; [ "$fd" -gt 2 ] && eval "exec $fd>&-"; done' \
        "echo \"\$EPOCHREALTIME\" >'$NETLAB_DIR/launched'" \
        "exec '$daemon' \"\$@\"" >"$NETLAB_DIR/launch"
    chmod +x "$NETLAB_DIR/launch"
    NETLAB_DAEMON=$NETLAB_DIR/launch

    # 1. Start-up, first without an agent, then with one; the last daemon started serves the rest.
    local agent run round part
    for agent in without with; do
        if [ "$agent" = with ]; then
            netlab_start_snmpd Tarn-bench || netlab_fail_setup "snmpd did not answer"
        fi
        for run in $(seq 1 "$starts"); do
            [ -z "$NETLAB_DAEMON_PID" ] || netlab_stop_daemon TERM 10 >/dev/null || true
            timed_start || netlab_fail_setup "the daemon did not answer: $(cat "$NETLAB_DAEMON_ERR")"
            echo "$startup_ms" >>"$NETLAB_DIR/startup.$agent"
            echo "$probe_ms" >>"$NETLAB_DIR/probe_ms"
            echo "start-up $run of $starts $agent an SNMP agent: $startup_ms ms" >&2
        done
    done
    pid=$NETLAB_DAEMON_PID
    require_daemon "the start-ups"
    # Requests the start-up probe left queued are answered by now.
    sleep 1

    # 2. Memory and descriptors right after start.
    rss_start=$(status_kb "$pid" VmRSS)
    hwm_start=$(status_kb "$pid" VmHWM)
    anon_start=$(status_kb "$pid" RssAnon)
    descriptors "$pid" >"$NETLAB_DIR/fd.start"

    # 3. Idle: nobody sends.
    local t0 t1 ns0 ns1 cs0 cs1 ticks0 ticks1
    t0=$EPOCHREALTIME
    ns0=$(cpu_ns "$pid")
    cs0=$(switches "$pid")
    ticks0=$(cpu_ticks "$pid")
    sleep "$idle"
    ns1=$(cpu_ns "$pid")
    cs1=$(switches "$pid")
    ticks1=$(cpu_ticks "$pid")
    t1=$EPOCHREALTIME
    idle_s=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.2f", b - a }')
    idle_ms=$(awk -v a="$ns0" -v b="$ns1" 'BEGIN { printf "%.3f", (b - a) / 1e6 }')
    idle_ticks=$((ticks1 - ticks0))
    idle_switches=$((cs1 - cs0))
    idle_wakeups=$(awk -v n="$idle_switches" -v s="$idle_s" 'BEGIN { printf "%.1f", n / s }')
    require_daemon "the idle time"
    echo "idle done" >&2

    # 4. Round trips in rounds that interleave the daemon, the floor and the route query, so a
    # change in the machine's load spreads over all three.
    local out bare_pid
    dev_spawn "$NETLAB_DIR/bare.out" "$NETLAB_DIR/bare.out" "$build/bench/bare_responder" "$bare_port" 3600
    bare_pid=$NETLAB_LAST_PID
    netlab_wait_output "$NETLAB_DIR/bare.out" 'serving' 10 || netlab_fail_setup "no bare responder"
    # Replies the PC host saw; the untimed warm-ups are not counted.
    counted=0
    daemon_lost=0
    bare_lost=0
    for round in $(seq 1 "$rounds"); do
        out=$(round_trips --count "$count" --warmup "$warmup" --gap-us "$gap_us" \
            --timeout-ms "$timeout_ms" --samples "$samples/daemon.$round")
        daemon_lost=$((daemon_lost + $(number lost "$out")))
        counted=$((counted + $(number answered "$out")))
        out=$(round_trips --echo --port "$bare_port" --count "$count" --warmup "$warmup" \
            --gap-us "$gap_us" --timeout-ms "$timeout_ms" --samples "$samples/bare.$round")
        bare_lost=$((bare_lost + $(number lost "$out")))
        dev_exec "$build/bench/route_query_timer" "$count" "$warmup" "$gap_us" \
            "$samples/route.$round" >/dev/null || true
        require_daemon "the round trips"
        echo "round $round of $rounds done" >&2
    done
    kill "$bare_pid" 2>/dev/null || true
    wait "$bare_pid" 2>/dev/null || true
    for part in daemon bare route; do
        cat "$samples/$part".* >"$samples/$part" 2>/dev/null || true
    done
    ratios=""
    for round in $(seq 1 "$rounds"); do
        ratios+=" $(awk -v d="$(summary "$samples/daemon.$round" | cut -d' ' -f2)" \
            -v f="$(summary "$samples/bare.$round" | cut -d' ' -f2)" \
            -v r="$(summary "$samples/route.$round" | cut -d' ' -f2)" \
            'BEGIN { if (f + r > 0) printf "%.3f", d / (f + r); else print "-" }')"
    done
    ratio=$(tr ' ' '\n' <<<"$ratios" | grep -v '^-*$' | median) || ratio=""

    # 5. Back to back: each discovery sent the moment the answer to the one before arrived.
    out=$(udp_peer burst --to "$NETLAB_DEVICE_ADDRESS" --count "$burst")
    burst_lost=$(field lost "$out")
    counted=$((counted + $(number answered "$out")))
    require_daemon "the back-to-back discoveries"
    echo "back to back done" >&2

    # 6. Flood: the mix of good and bad datagrams as fast as the PC sends them. Owed are the
    # answers to the discoveries (unicast, broadcast, oversized) and to the unknown command.
    out=$(udp_peer flood --to "$NETLAB_DEVICE_ADDRESS" --count "$flood" 2>/dev/null)
    flood_owed=$(awk -F'[ =]' '$1 == "kind" &&
        $2 ~ /^(unicast-discovery|broadcast-discovery|unknown-command|oversized)$/ { n += $4 }
        END { print n + 0 }' <<<"$out")
    flood_answered=$(field answered "$out")
    flood_unexpected=$(field unexpected "$out")
    flood_rate=$(field replies_per_second "$out")
    flood_rate=${flood_rate:+$(printf '%.0f' "$flood_rate")}
    flood_seconds=$(field answer_seconds "$out")
    flood_seconds=${flood_seconds:+$(printf '%.2f' "$flood_seconds")}
    flood_share=$(awk -v a="${flood_answered:-0}" -v o="$flood_owed" \
        'BEGIN { printf "%.1f", o ? 100 * a / o : 0 }')
    counted=$((counted + ${flood_answered:-0}))
    require_daemon "the flood"
    echo "flood done" >&2

    # 7. One PC floods with discoveries from one socket while a second asks every 200 ms and
    # waits up to 1 s for each answer; the daemon's CPU over the flood counts its route queries.
    local fair_t0 fair_t1 fair_ticks0 fair_ticks1
    fair_t0=$EPOCHREALTIME
    fair_ticks0=$(cpu_ticks_with_children "$pid")
    out=$(pc_exec "$build/bench/discovery_flood" "$NETLAB_DEVICE_ADDRESS" "$fair" || true)
    fair_ticks1=$(cpu_ticks_with_children "$pid")
    fair_t1=$EPOCHREALTIME
    fair_asked=$(field asked "$out")
    fair_answered=$(field answered "$out")
    fair_rate=$(field per_second "$out")
    fair_share=$(awk -v a="${fair_answered:-0}" -v o="${fair_asked:-0}" \
        'BEGIN { printf "%.1f", o ? 100 * a / o : 0 }')
    # The last second is the asker's wait for its last answers, after the flood.
    fair_cpu=$(awk -v t=$((fair_ticks1 - fair_ticks0)) -v ms="$tick_ms" -v a="$fair_t0" \
        -v b="$fair_t1" 'BEGIN { printf "%.1f", 100 * t * ms / 1000 / (b - a - 1) }')
    require_daemon "the flood with a second PC"
    echo "flood with a second PC done" >&2

    # 8. Replies up to the count asked for, back to back in steps; the memory after each step
    # shows a leak as a rise that goes on.
    local n steps_taken=0
    rss_steps=""
    while [ "$counted" -lt "$replies" ] && [ "$steps_taken" -lt $((replies / step + 10)) ]; do
        n=$((replies - counted < step ? replies - counted : step))
        out=$(udp_peer burst --to "$NETLAB_DEVICE_ADDRESS" --count "$n")
        counted=$((counted + $(number answered "$out")))
        require_daemon "the replies"
        rss_steps+=" $(status_kb "$pid" VmRSS)"
        steps_taken=$((steps_taken + 1))
        echo "replies: $counted of $replies" >&2
    done
    rss_steps=${rss_steps# }

    sleep 1
    require_daemon "the replies"
    rss_end=$(status_kb "$pid" VmRSS)
    hwm_end=$(status_kb "$pid" VmHWM)
    anon_end=$(status_kb "$pid" RssAnon)
    descriptors "$pid" >"$NETLAB_DIR/fd.end"
    stopped=0
    netlab_stop_daemon TERM 10 >/dev/null || stopped=$?

    # 9. Stripped copies.
    strip -o "$NETLAB_DIR/daemon.stripped" "$daemon"
    strip -o "$NETLAB_DIR/library.stripped" "$build/device/libQELInterface.so.1"
    daemon_bytes=$(stat -c %s "$NETLAB_DIR/daemon.stripped")
    library_bytes=$(stat -c %s "$NETLAB_DIR/library.stripped")

    read -r _ dmed dp99 _ _ < <(summary "$samples/daemon") || true
    read -r _ bmed bp99 _ _ < <(summary "$samples/bare") || true
    read -r _ rmed rp99 _ _ < <(summary "$samples/route") || true
    fds_start=$(wc -l <"$NETLAB_DIR/fd.start")
    fds_end=$(wc -l <"$NETLAB_DIR/fd.end")
    cmp -s "$NETLAB_DIR/fd.start" "$NETLAB_DIR/fd.end" && fds_changed=0 || fds_changed=1
    ((fds_changed)) && fds_word=DIFFERENT || fds_word="the same"
    # Flat: no step after the first ends above it. The first step may still grow, as code and
    # heap the earlier parts did not reach are touched. (The earlier parts may have given all the
    # replies asked for; then the end is the one step.)
    rss_steps=${rss_steps:-$rss_end}
    rss_first=${rss_steps%% *}
    rss_highest=$(tr ' ' '\n' <<<"$rss_steps" | sort -n | tail -n 1)
    # shellcheck disable=SC2034 # read through the budgets
    if [ "${rss_first:-0}" -gt 0 ]; then
        rss_rise=$((rss_highest - rss_first))
    else
        rss_rise=""
    fi
}

# Checks every figure against its budget, in met[NAME], and lists the misses in over_budget, one
# line each.
declare -A met
check_budgets() {
    local name test limit shown value
    over_budget=""
    while read -r name test limit shown; do
        value=${!name}
        if [ -n "$value" ] && awk -v v="$value" -v l="$limit" -v t="$test" \
            'BEGIN { exit !(t == "<=" ? v <= l : t == ">=" ? v >= l : v == l) }'; then
            met[$name]=yes
        else
            met[$name]=NO
            over_budget+="cost_bench: over budget: $name is ${value:-not measured}, budget $shown"$'\n'
        fi
    done <<<"$budgets"
}
# The budget of NAME as the table shows it.
budget() { awk -v n="$1" '$1 == n { $1 = $2 = $3 = ""; sub(/^ +/, ""); print }' <<<"$budgets"; }

row() { printf '  %-39s %-52s %-12s %s\n' "$@"; }
# A row of a figure with a budget: LABEL VALUE NAME.
budget_row() { row "$1" "$2" "$(budget "$3")" "${met[$3]}"; }
report() {
    check_budgets
    echo
    echo "Tarn_reply costs (Release, no sanitizers) in the two-host test network"
    echo "daemon: $daemon"
    echo "machine: $machine; load average before $load_before, after $(cut -d" " -f1-3 /proc/loadavg)"
    row "" "value" "budget" "met"
    row "1 start-up to serving, no SNMP agent" "$(median 1 <"$NETLAB_DIR/startup.without") ms, median of $starts" "" ""
    row "  start-up to serving, SNMP agent" "$(median 1 <"$NETLAB_DIR/startup.with") ms, median of $starts" "" ""
    budget_row "2 VmRSS / VmHWM right after start" "$rss_start / $hwm_start KiB (RssAnon $anon_start)" \
        hwm_start
    row "  open descriptors" "$fds_start" "" ""
    budget_row "3 idle CPU over $idle_s s (schedstat)" \
        "$idle_ms ms (utime+stime: $idle_ticks ticks of $tick_ms ms)" idle_ms
    row "  wake-ups (context switches)" "$idle_wakeups per s ($idle_switches in $idle_s s)" "" ""
    row "4 discovery round trip, daemon" "median $dmed us, p99 $dp99 us, $daemon_lost lost" "" ""
    row "  floor: bare responder" "median $bmed us, p99 $bp99 us, $bare_lost lost" "" ""
    row "  route query: popen(\"ip route show\")" "median $rmed us, p99 $rp99 us" "" ""
    budget_row "  daemon / (floor + route query)" "$ratio, median of $rounds rounds' ratios" ratio
    budget_row "5 back to back, lost" "${burst_lost:--} of $burst" burst_lost
    row "6 flood of $flood datagrams" "${flood_rate:--} replies/s over ${flood_seconds:--} s" "" ""
    row "  answered" \
        "${flood_answered:--} of $flood_owed owed, $flood_share %; ${flood_unexpected:--} unexpected" "" ""
    budget_row "7 flood of $fair s, second PC's asks" \
        "${fair_answered:--} of ${fair_asked:--} answered, $fair_share %" fair_share
    row "  flood sent" "${fair_rate:--} discoveries/s" "" ""
    budget_row "  daemon CPU with its children" "$fair_cpu % of a core" fair_cpu
    budget_row "8 VmRSS / VmHWM after $counted replies" "$rss_end / $hwm_end KiB (RssAnon $anon_end)" \
        hwm_end
    budget_row "  VmRSS after each $step replies" "first ${rss_first:--}, highest ${rss_highest:--} KiB" \
        rss_rise
    budget_row "  open descriptors, start / end" "$fds_start / $fds_end ($fds_word)" fds_changed
    row "9 stripped size, Tarn_reply" "$daemon_bytes bytes" "" ""
    row "  stripped size, libQELInterface.so.1" "$library_bytes bytes" "" ""
    echo "  round by round, daemon / (floor + route query):$ratios"
    echo "  start-ups in ms, without an agent: $(tr '\n' ' ' <"$NETLAB_DIR/startup.without")with one:" \
        "$(tr '\n' ' ' <"$NETLAB_DIR/startup.with")(each late by at most one probe of" \
        "$(median 1 <"$NETLAB_DIR/probe_ms") ms)"
    echo "  VmRSS in KiB after each step of the replies: $rss_steps"
    echo "  descriptors at the end: $(awk '{ printf "%s%s %s", s, $1, $2; s = ", " }' "$NETLAB_DIR/fd.end")"
    echo "  the daemon's exit status after SIGTERM: $stopped; the benchmark took" \
        "$((SECONDS - started_at)) s"
}

# The figures a comparison with a baseline weighs, "WHAT=VALUE" a line.
key_figures() {
    printf '%s\n' "7 second PC's asks answered=$fair_share %" \
        "7 daemon CPU with its children=$fair_cpu % of a core" \
        "5 back to back, lost=${burst_lost:--} of $burst" \
        "4 daemon / (floor + route query)=$ratio" \
        "8 VmRSS after each $step replies=first ${rss_first:--}, highest ${rss_highest:--} KiB"
}

# The baseline goes first; only this tree's daemon is held to the budgets.
if [ -n "$baseline" ]; then
    measure "$baseline"
    report
    baseline_figures=$(key_figures)
fi
measure "$ours"
report
if [ -n "$baseline" ]; then
    echo
    echo "Key figures, baseline ($baseline) beside this tree's daemon:"
    while IFS= read -r mine <&3 && IFS= read -r theirs <&4; do
        printf '  %-40s %-36s %s\n' "${mine%%=*}" "${theirs#*=}" "${mine#*=}"
    done 3< <(key_figures) 4<<<"$baseline_figures"
fi
if [ -n "$over_budget" ]; then
    printf '%s' "$over_budget" >&2
    exit 1
fi
