# Cases and checks for the integration suites (sourced by netlab.sh). A case is a shell function;
# a failed check marks the case failed and the case goes on, so one run shows every difference.

NETLAB_PASSED=0
NETLAB_FAILED=0
NETLAB_CASE=""
NETLAB_CASE_FAILS=0

netlab_check_failed() {
    echo "  FAIL [$NETLAB_CASE] $*"
    NETLAB_CASE_FAILS=$((NETLAB_CASE_FAILS + 1))
}

# expect_eq WHAT EXPECTED ACTUAL
expect_eq() {
    [ "$2" = "$3" ] || netlab_check_failed "$1: expected '$2', got '$3'"
}

# expect_match WHAT REGEX TEXT: some line of TEXT matches the extended REGEX.
expect_match() {
    grep -qE -- "$2" <<<"$3" || netlab_check_failed "$1: no line matches /$2/ in: ${3:0:2000}"
}

# expect_no_match WHAT REGEX TEXT: no line of TEXT matches.
expect_no_match() {
    ! grep -qE -- "$2" <<<"$3" || netlab_check_failed "$1: unexpected /$2/ in: ${3:0:2000}"
}

# expect_file_text WHAT FILE TEXT: FILE holds exactly TEXT, byte for byte (trailing newlines
# included, which $(...) would drop).
expect_file_text() {
    if [ ! -f "$2" ]; then
        netlab_check_failed "$1: $2 does not exist"
        return
    fi
    cmp -s "$2" <(printf '%s' "$3") ||
        netlab_check_failed "$1: $2 differs: $(diff <(printf '%s' "$3") "$2" | head -20)"
}

# expect_lines_in_order WHAT FILE LINE...: the exact lines appear in FILE in this order (other
# lines may stand between them).
expect_lines_in_order() {
    local what=$1 file=$2
    shift 2
    local line number=0 found
    for line in "$@"; do
        found=$(grep -nxF -- "$line" "$file" | awk -F: -v after="$number" '$1 > after {print $1; exit}')
        if [ -z "$found" ]; then
            netlab_check_failed "$what: line '$line' missing after line $number of $file:
$(cat "$file")"
            return
        fi
        number=$found
    done
}

# expect_no_sanitizer_report WHAT FILE: no AddressSanitizer, LeakSanitizer or
# UndefinedBehaviorSanitizer report in the daemon's stderr. (The platform tools the daemon runs,
# systemctl and snmpget, write their own complaints there too, so stderr need not be empty.)
expect_no_sanitizer_report() {
    expect_no_match "$1" 'Sanitizer|runtime error:' "$(cat "$2" 2>/dev/null)"
}

# expect_clean_stop [WHAT]: stops the daemon with TERM; it ends with status 0 and leaves no
# sanitizer report on its stderr. WHAT, when given, leads both check names.
expect_clean_stop() {
    local what=${1:+$1: }
    netlab_stop_daemon TERM
    expect_status "${what}stop" 0 $?
    expect_no_sanitizer_report "${what}stderr" "$NETLAB_DAEMON_ERR"
}

# expect_record REPLY_HEX ADDRESS static|dhcp [MASK GATEWAY]: the discovery answer REPLY_HEX
# (header included) reports that address, the current IP configuration of that mode and, when
# given, that mask and gateway, each field as the record of a device so configured holds it.
expect_record() {
    local expected field
    expected=$(netlab_gvcp_hex record "$NETLAB_DEVICE_MAC" "$2" "${4:-0.0.0.0}" "${5:-0.0.0.0}" \
        "$3" - -)
    for field in "IP configuration:20" "address:36" ${4:+"mask:52" "gateway:68"}; do
        expect_eq "${field%:*} reported at $2" "$(netlab_record_word "$expected" "${field#*:}")" \
            "$(netlab_record_word "${1:16}" "${field#*:}")"
    done
}

# expect_discovery ADDRESS static|dhcp [MASK GATEWAY]: a discovery sent to ADDRESS is answered,
# and the answer passes expect_record.
expect_discovery() {
    local hex
    hex=$(netlab_discovery_hex "$1")
    if [ -z "$hex" ]; then
        netlab_check_failed "no discovery reply from $1"
        return
    fi
    expect_record "$hex" "$@"
}

# expect_status WHAT EXPECTED ACTUAL: an exit status.
expect_status() {
    [ "$2" = "$3" ] || netlab_check_failed "$1: exit status $3, expected $2"
}

# expect_true WHAT COMMAND...: the command succeeds.
expect_true() {
    local what=$1
    shift
    "$@" || netlab_check_failed "$what"
}

# Runs one case: netlab_case NAME FUNCTION. A daemon still running at its end is killed, and on
# failure the daemon's output is shown. With NETLAB_ONLY set, only cases whose name contains it run.
# With NETLAB_PART=K/N (CTest runs a long suite as N entries side by side), only the Kth case of
# every N runs, so the N parts together run every case once.
NETLAB_CASE_INDEX=0
netlab_case() {
    [[ "$1" == *"${NETLAB_ONLY:-}"* ]] || return 0
    NETLAB_CASE_INDEX=$((NETLAB_CASE_INDEX + 1))
    if [ -n "${NETLAB_PART:-}" ] &&
        [ $(((NETLAB_CASE_INDEX - 1) % ${NETLAB_PART#*/} + 1)) != "${NETLAB_PART%/*}" ]; then
        return 0
    fi
    NETLAB_CASE=$1
    NETLAB_CASE_FAILS=0
    echo "--- $1"
    "$2"
    if netlab_daemon_running; then
        netlab_stop_daemon KILL 5 >/dev/null
    fi
    if [ "$NETLAB_CASE_FAILS" -eq 0 ]; then
        NETLAB_PASSED=$((NETLAB_PASSED + 1))
        echo "ok: $1"
    else
        NETLAB_FAILED=$((NETLAB_FAILED + 1))
        echo "FAILED: $1"
        local file
        for file in "${NETLAB_DAEMON_OUT:-}" "${NETLAB_DAEMON_ERR:-}" "${NETLAB_RUN_OUT:-}" \
            "${NETLAB_RUN_ERR:-}"; do
            if [ -n "$file" ] && [ -s "$file" ]; then
                echo "  ${file##*/}:"
                tail -n 30 "$file" | sed 's/^/    /'
            fi
        done
    fi
}

# Ends the suite with the count of cases; non-zero when any failed or none ran.
netlab_finish() {
    echo "$NETLAB_PASSED passed, $NETLAB_FAILED failed"
    [ "$NETLAB_FAILED" -eq 0 ] && [ "$NETLAB_PASSED" -gt 0 ]
    exit $?
}
