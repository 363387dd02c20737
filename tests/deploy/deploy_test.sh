#!/bin/bash
# The amd64 package on a booted Debian bookworm: a minimal root made with mmdebstrap, booted with
# systemd-nspawn on the device end of the test network's veth pair (the PC host keeps pc0), the
# packages installed with apt as users are told to (first a previous build: the same packages
# re-versioned lower) and the unit enabled with systemctl as on a camera. From the PC host:
# discovery as soon as the start returns, the status line, a static and a dhcp force-IP, a refused
# one's line at priority err in the journal, a killed daemon restarted by systemd, a stopped one
# restarted by the watchdog, the upgrade to this build restarting the running instance on the new
# daemon, a stop that leaves the DHCP client, and a purge that leaves only what the manual page
# lists. The cases build on each other, in this order. The packages are built here
# (scripts/build-packages.sh amd64) unless TARN_PACKAGES_BUILT=1 says that they were.
#
# The root is cached in $TARN_DEPLOY_CACHE (default: scripts/test.sh's $TARN_TEST_CACHE, else
# /var/cache/tarn-reply-tests), keyed by the mirror and the package list; every run boots an
# overlay of it, so runs never see each other's changes. Needs root, network access to the Debian
# mirror the first time, and the test tools of $NETLAB_BUILD_DIR (udp_peer).
source "$(dirname "$0")/../netlab/netlab.sh"
cd "$NETLAB_HOME/../.." || exit 1

DEPLOY_CACHE=${TARN_DEPLOY_CACHE:-${TARN_TEST_CACHE:-/var/cache/tarn-reply-tests}}
DEPLOY_START=$SECONDS
DEPLOY_ROOT_MADE=""
NSPAWN_PID=""
CONTAINER_PID=""
ROOT=""
# The manual page's resolver for a static configuration with a gateway.
STATIC_RESOLV='nameserver 9.9.9.9'
INTERFACES="$NETLAB_DEFAULT_INTERFACES"

[ "$(id -u)" = 0 ] || netlab_skip "the deployment test needs root"
netlab_require mmdebstrap systemd-nspawn nsenter mount dpkg-deb
netlab_require_built "$NETLAB_UDP_PEER"

if [ "${TARN_PACKAGES_BUILT:-0}" != 1 ]; then
    bash scripts/build-packages.sh amd64 >/dev/null || netlab_fail_setup "no amd64 packages"
fi
# The camera's packages: the daemon and the stand-in library.
DEBS=(build-deb/amd64/tarn-reply_*_amd64.deb build-deb/amd64/libqelinterface1_*_amd64.deb)
for deb in "${DEBS[@]}"; do
    [ -f "$deb" ] || netlab_fail_setup "no $deb (scripts/build-packages.sh amd64)"
done
VERSION=$(dpkg-deb -f "${DEBS[0]}" Version)

# The container's packages: systemd, apt (which installs ours) and the daemon's dependencies
# (first choices, without versions), less what our own packages provide.
ours=$(for deb in "${DEBS[@]}"; do dpkg-deb -f "$deb" Package; done)
INCLUDE=$(for deb in "${DEBS[@]}"; do dpkg-deb -f "$deb" Depends | tr ',' '\n'; done |
    sed 's/|.*//; s/(.*)//; s/[[:space:]]//g' | grep -vxF -f <(echo "$ours") |
    cat - <(printf 'systemd\napt\n') | sort -u | paste -sd,)
MIRROR=$(awk '$1 == "URIs:" {print $2; exit}' /etc/apt/sources.list.d/debian.sources 2>/dev/null)
MIRROR=${MIRROR:-http://deb.debian.org/debian}
CACHED_ROOT=$DEPLOY_CACHE/bookworm-$(printf '%s %s' "$MIRROR" "$INCLUDE" | sha256sum | cut -c1-16)

# Makes the cached root unless it is there; an old one of another key goes.
cached_root() {
    [ -d "$CACHED_ROOT" ] && return 0
    echo "deploy: making a bookworm root with $INCLUDE from $MIRROR"
    DEPLOY_ROOT_MADE=" (root made)"
    mkdir -p "$DEPLOY_CACHE" && rm -rf "$DEPLOY_CACHE"/bookworm-???????????????? || return 1
    local new=$CACHED_ROOT.new.$$
    mmdebstrap --quiet --variant=essential --include="$INCLUDE" bookworm "$new" "$MIRROR" \
        >"$NETLAB_DIR/mmdebstrap.log" 2>&1 ||
        { tail -n 20 "$NETLAB_DIR/mmdebstrap.log"; rm -rf "$new"; return 1; }
    mv -T "$new" "$CACHED_ROOT" 2>/dev/null || rm -rf "$new"
}

# Runs a command in the booted container, as a login there would.
container() {
    nsenter --target "$CONTAINER_PID" --all env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin "$@"
}

# The host PIDs of the container's processes named NAME.
container_pids() {
    local pid
    for pid in $(ip netns pids "$NETLAB_DEV"); do
        [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = "$1" ] && echo "$pid"
    done
}

# Files of the container's root, without what the system and its package managers keep changing.
root_files() {
    (cd "$ROOT" && find . -xdev \( -path ./var/log -o -path ./var/cache -o -path ./var/lib/dpkg \
        -o -path ./var/lib/apt -o -path ./var/lib/systemd -o -path ./tmp -o -path ./var/tmp \) \
        -prune -o -print | sort)
}

# force_ip_ack TO SECONDS FORCE_IP_ARGS...: sends the force-IP to address TO from the PC host
# and prints what answered within SECONDS.
force_ip_ack() {
    local to=$1 seconds=$2 out=$NETLAB_DIR/ack.$RANDOM
    shift 2
    pc_spawn "$out" /dev/null "$NETLAB_UDP_PEER" send --to "$to" \
        --hex "$(netlab_force_ip_hex "$@")" --listen-ms $((seconds * 1000))
    netlab_wait_output "$out" ' len=8 ' "$seconds"
    kill "$NETLAB_LAST_PID" 2>/dev/null
    wait "$NETLAB_LAST_PID" 2>/dev/null
    cat "$out"
}

# The packages re-versioned lower, as a previous build: PREVIOUS_DEBS, in $NETLAB_DIR/previous.
previous_build() {
    local deb tree
    PREVIOUS_VERSION="$VERSION~previous"
    PREVIOUS_DEBS=()
    mkdir -p "$NETLAB_DIR/previous"
    for deb in "${DEBS[@]}"; do
        tree=$NETLAB_DIR/previous/tree
        dpkg-deb -R "$deb" "$tree" || return 1
        sed -i "s/^Version: .*/Version: $PREVIOUS_VERSION/" "$tree/DEBIAN/control"
        PREVIOUS_DEBS+=("$NETLAB_DIR/previous/$(basename "${deb/_"$VERSION"_/_"$PREVIOUS_VERSION"_}")")
        dpkg-deb --root-owner-group -b "$tree" "${PREVIOUS_DEBS[-1]}" >/dev/null || return 1
        rm -rf "$tree"
    done
}

# apt_install DEB...: installs the packages, copied to the container's /root/debs, with apt as
# users are told to; the output in $NETLAB_DIR/apt.log.
apt_install() {
    local deb names=()
    for deb in "$@"; do
        names+=("./$(basename "$deb")")
    done
    container sh -c "cd /root/debs && DEBIAN_FRONTEND=noninteractive apt-get install -y ${names[*]}" \
        >"$NETLAB_DIR/apt.log" 2>&1
}

# Powers the container off (nspawn turns TERM into an orderly shutdown), then the test network.
deploy_teardown() {
    if [ -n "$NSPAWN_PID" ]; then
        kill -s TERM "$NSPAWN_PID" 2>/dev/null
        timeout 60 tail --pid="$NSPAWN_PID" -f /dev/null || kill -s KILL "$NSPAWN_PID" 2>/dev/null
        wait "$NSPAWN_PID" 2>/dev/null
        rm -rf "/run/systemd/nspawn/propagate/$MACHINE"
    fi
    if [ -n "$ROOT" ] && mountpoint -q "$ROOT"; then
        umount "$ROOT" || umount --lazy "$ROOT"
    fi
    netlab_teardown
}

boots_with_the_package() {
    expect_true "no cached root" cached_root || return
    ROOT=$NETLAB_DIR/root
    mkdir -p "$ROOT" "$NETLAB_DIR/upper" "$NETLAB_DIR/work"
    mount -t overlay overlay \
        -o "lowerdir=$CACHED_ROOT,upperdir=$NETLAB_DIR/upper,workdir=$NETLAB_DIR/work" "$ROOT" ||
        { netlab_check_failed "no overlay of $CACHED_ROOT"; ROOT=""; return; }
    printf '%s' "$INTERFACES" >"$ROOT/etc/network/interfaces"
    echo 'nameserver 203.0.113.53' >"$ROOT/etc/resolv.conf"
    expect_true "re-versioned packages" previous_build || return
    mkdir "$ROOT/root/debs" && cp "${PREVIOUS_DEBS[@]}" "${DEBS[@]}" "$ROOT/root/debs/"

    # No machined here (--register=no, --keep-unit). The device host's network namespace, with
    # CAP_NET_ADMIN for ifupdown; nspawn starts in it too, or the container's /sys shows the host's
    # interfaces (and the daemon the host's MAC address). Its own resolver file, never the host's.
    MACHINE=tarn-deploy-$$
    nsenter --net="/run/netns/$NETLAB_DEV" systemd-nspawn --quiet --boot --directory="$ROOT" \
        --machine="$MACHINE" --register=no --keep-unit \
        --network-namespace-path="/run/netns/$NETLAB_DEV" --capability=CAP_NET_ADMIN \
        --resolv-conf=off --timezone=off --link-journal=no --console=read-only \
        >"$NETLAB_DIR/console.log" 2>&1 &
    NSPAWN_PID=$!
    local waited=0
    # The container's PID 1 is the process of its network namespace that is 1 in its own PID
    # namespace; systemctl works once its socket is there.
    # shellcheck disable=SC2046 # one status file per PID
    until CONTAINER_PID=$(grep -lP '^NSpid:\t\d+\t1$' $(ip netns pids "$NETLAB_DEV" |
        sed 's|.*|/proc/&/status|') /dev/null 2>/dev/null | cut -d/ -f3) &&
        [ -S "/proc/$CONTAINER_PID/root/run/systemd/private" ]; do
        if [ "$waited" -ge 300 ] || ! kill -0 "$NSPAWN_PID" 2>/dev/null; then
            netlab_check_failed "no container: $(tail -n 20 "$NETLAB_DIR/console.log")"
            return
        fi
        sleep 0.1
        waited=$((waited + 1))
    done
    expect_eq "booted" running "$(container timeout 120 systemctl is-system-running --wait 2>&1)"
    expect_eq "failed units" "" "$(container systemctl --failed --plain --no-legend)"

    root_files >"$NETLAB_DIR/before-install"
    apt_install "${PREVIOUS_DEBS[@]}"
    # shellcheck disable=SC2016 # dpkg-query's own format
    expect_eq "apt install $(tail -n 5 "$NETLAB_DIR/apt.log")" "install ok installed $PREVIOUS_VERSION" \
        "$(container dpkg-query -W -f='${Status} ${Version}' tarn-reply)"
    expect_eq "instances the installation enabled" "" \
        "$(container sh -c 'ls /etc/systemd/system/*.wants' | grep tarn-reply)"
    # Without udev a container has no device units, and a start bound to one fails at once: the
    # test's own copy of the unit leaves that line out, and the shipped one must have it.
    local unit
    unit=$(container dpkg -L tarn-reply | grep -E '/lib/systemd/system/tarn-reply@\.service$')
    grep -v '^BindsTo=sys-subsystem-net-devices-%i\.device$' "$ROOT$unit" \
        >"$ROOT/etc/systemd/system/tarn-reply@.service"
    expect_eq "lines of the unit without BindsTo=" $(($(wc -l <"$ROOT$unit") - 1)) \
        "$(wc -l <"$ROOT/etc/systemd/system/tarn-reply@.service")"
    container systemctl daemon-reload
}

missing_interface_is_not_restarted() {
    container systemctl start tarn-reply@eth9
    sleep 8
    expect_eq "eth9 after 8 s" "NRestarts=0 ExecMainStatus=1 ActiveState=failed" \
        "$(container systemctl show -p NRestarts,ExecMainStatus,ActiveState tarn-reply@eth9 |
            sort -r | paste -sd' ')"
    container systemctl reset-failed tarn-reply@eth9
}

# The line "Status: ..." of systemctl status.
unit_status() { container systemctl show -p StatusText --value tarn-reply@eth0; }

# The container has no SNMP agent: the daemon serves 6 s after it runs, and a start that returned
# before that would leave this first discovery unanswered.
static_force_ip() {
    expect_true "enable --now" container systemctl enable --quiet --now tarn-reply@eth0
    expect_match "a discovery as the start returned" ' answered=1 ' \
        "$(netlab_udp_peer burst --to "$NETLAB_DEVICE_ADDRESS" --count 1 --timeout-ms 1000)"
    expect_eq "status" "eth0 192.0.2.10/24 static" "$(unit_status)"
    expect_discovery "$NETLAB_DEVICE_ADDRESS" static 255.255.255.0 192.0.2.1
    # A refused force-IP's line is an error in the journal; the progress lines are not.
    netlab_udp_peer send --to "$NETLAB_DEVICE_ADDRESS" --listen-ms 0 \
        --hex "$(netlab_force_ip_hex 01 5a00 127.0.0.5 255.0.0.0 0.0.0.0)"

    expect_eq "static acknowledge" "from=192.0.2.20:3956 to=192.0.2.1 len=8 hex=0000000500005a01" \
        "$(force_ip_ack "$NETLAB_DEVICE_ADDRESS" 30 01 5a01 192.0.2.20 255.255.255.0 192.0.2.1)"
    netlab_wait_serving 192.0.2.20 30 || netlab_check_failed "no answer at 192.0.2.20"
    expect_discovery 192.0.2.20 static 255.255.255.0 192.0.2.1
    expect_file_text "backup" "$ROOT/etc/network/interfaces.bak" "$INTERFACES"
    # The stanza of the new address, everything else as it was; blank lines are not counted.
    expect_eq "interfaces file" "$(grep -v '^$' <<<"${INTERFACES%%auto eth0*}auto eth0
iface eth0 inet static
  address 192.0.2.20
  netmask 255.255.255.0
  gateway 192.0.2.1")" "$(grep -v '^$' "$ROOT/etc/network/interfaces")"
    expect_file_text "resolver" "$ROOT/etc/resolv.conf" "$STATIC_RESOLV
"
    expect_eq "status after it" "eth0 192.0.2.20/24 static; last force-IP from 192.0.2.1" \
        "$(unit_status)"
    local errors
    errors=$(container journalctl --no-pager -o cat -p err -u tarn-reply@eth0)
    expect_match "errors in the journal" '^Refusing force IP: .*127\.0\.0\.5' "$errors"
    expect_no_match "progress among the errors" '^New interface parameters' "$errors"
}

dhcp_force_ip() {
    netlab_start_dnsmasq || netlab_check_failed "dnsmasq did not start"
    local ack lease
    ack=$(force_ip_ack 192.0.2.20 90 01 5a02 255.255.255.255 0.0.0.0 0.0.0.0)
    lease=$(netlab_leased_address 5)
    expect_match "leased address" '^192\.0\.2\.(1[0-4][0-9]|150)$' "$lease"
    expect_eq "dhcp acknowledge" "from=$lease:3956 to=192.0.2.1 len=8 hex=0000000500005a02" "$ack"
    netlab_wait_serving "$lease" 30 || netlab_check_failed "no answer at $lease"
    expect_discovery "$lease" dhcp 255.255.255.0 192.0.2.1
    expect_match "interfaces file" '^iface eth0 inet dhcp$' "$(cat "$ROOT/etc/network/interfaces")"
    expect_eq "status" "eth0 $lease/24 dhcp; last force-IP from 192.0.2.1" "$(unit_status)"
    LEASE=$lease
}

killed_daemon_is_restarted() {
    local daemon
    daemon=$(container_pids Tarn_reply)
    expect_true "no daemon runs" test -n "$daemon"
    kill -s KILL "$daemon"
    # RestartSec is 5 s.
    netlab_wait_serving "$LEASE" 30 || netlab_check_failed "no answer at $LEASE after kill -9"
    expect_eq "restarts" NRestarts=1 "$(container systemctl show -p NRestarts tarn-reply@eth0)"
    expect_no_match "the killed daemon" "^$daemon\$" "$(container_pids Tarn_reply)"
}

# No WATCHDOG=1 from a stopped daemon: SIGABRT (and SIGCONT) after 30 s, a new start 5 s later.
stopped_daemon_is_restarted_by_the_watchdog() {
    expect_eq "watchdog" WatchdogUSec=30s "$(container systemctl show -p WatchdogUSec tarn-reply@eth0)"
    local main waited=0
    main=$(container systemctl show -p MainPID --value tarn-reply@eth0)
    kill -s STOP "$(container_pids Tarn_reply)"
    until [ "$(container systemctl show -p MainPID --value tarn-reply@eth0)" != "$main" ] ||
        [ $((waited += 1)) -gt 90 ]; do sleep 1; done
    netlab_wait_serving "$LEASE" 30 || netlab_check_failed "no answer at $LEASE after kill -STOP"
    expect_eq "restarts" NRestarts=2 "$(container systemctl show -p NRestarts tarn-reply@eth0)"
    expect_match "the journal" 'Watchdog timeout' \
        "$(container journalctl --no-pager -o cat -u tarn-reply@eth0)"
}

# The upgrade to this build: the running instance restarted on the new daemon, serving again.
upgrade_restarts_the_instance() {
    local main
    main=$(container systemctl show -p MainPID --value tarn-reply@eth0)
    expect_true "apt install $(tail -n 5 "$NETLAB_DIR/apt.log")" apt_install "${DEBS[@]}"
    # shellcheck disable=SC2016 # dpkg-query's own format
    expect_eq "versions" "$VERSION $VERSION" \
        "$(container dpkg-query -W -f='${Version} ' tarn-reply libqelinterface1 | sed 's/ $//')"
    netlab_wait_serving "$LEASE" 30 || netlab_check_failed "no answer at $LEASE after the upgrade"
    local now
    now=$(container systemctl show -p MainPID --value tarn-reply@eth0)
    expect_true "a new daemon: MainPID $main, then $now" test "$now" != "$main" -a "$now" != 0
    # The process runs the installed file, not the previous build's, which is gone.
    expect_eq "its program" /usr/sbin/Tarn_reply "$(container readlink "/proc/$now/exe" 2>&1)"
}

stop_keeps_the_dhcp_client() {
    local client
    client=$(container_pids dhclient)
    expect_true "no DHCP client runs" test -n "$client"
    container systemctl stop tarn-reply@eth0
    expect_eq "daemon after the stop" "" "$(container_pids Tarn_reply)"
    expect_eq "DHCP client after the stop" "$client" "$(container_pids dhclient)"
}

purge_leaves_what_the_manual_lists() {
    container systemctl start tarn-reply@eth0
    netlab_wait_serving "$LEASE" 30 || netlab_check_failed "no answer at $LEASE before the purge"
    local client
    client=$(container_pids dhclient)
    container dpkg --purge tarn-reply libqelinterface1 >"$NETLAB_DIR/dpkg.log" 2>&1
    expect_eq "dpkg --purge $(tail -n 5 "$NETLAB_DIR/dpkg.log")" "" \
        "$(container dpkg-query -W tarn-reply libqelinterface1 2>/dev/null)"
    expect_eq "daemon after the purge" "" "$(container_pids Tarn_reply)"
    expect_eq "DHCP client after the purge" "$client" "$(container_pids dhclient)"
    # Beside the test's own unit, the backup and the DHCP client's lease; the lock is in /run.
    expect_eq "files the purge left" "./etc/network/interfaces.bak
./etc/systemd/system/tarn-reply@.service
./var/lib/dhcp/dhclient.eth0.leases" \
        "$(comm -13 "$NETLAB_DIR/before-install" <(root_files))"
    expect_true "the lock file was removed" \
        test -e "/proc/$CONTAINER_PID/root/run/lock/Tarn_Finder.lock"
}

netlab_setup "$INTERFACES"
trap deploy_teardown EXIT
netlab_case "boots with the package installed" boots_with_the_package
if [ "$NETLAB_FAILED" -gt 0 ]; then
    tail -n 30 "$NETLAB_DIR/console.log" 2>/dev/null
    netlab_finish
fi
netlab_case "a missing interface is not restarted" missing_interface_is_not_restarted
netlab_case "discovery and a static force-IP" static_force_ip
netlab_case "dhcp force-IP through dnsmasq" dhcp_force_ip
netlab_case "kill -9 restarted by systemd" killed_daemon_is_restarted
netlab_case "kill -STOP restarted by the watchdog" stopped_daemon_is_restarted_by_the_watchdog
netlab_case "the upgrade restarts the instance" upgrade_restarts_the_instance
netlab_case "stop leaves the DHCP client" stop_keeps_the_dhcp_client
netlab_case "purge leaves what the manual page lists" purge_leaves_what_the_manual_lists
if [ "$NETLAB_FAILED" -gt 0 ]; then
    container journalctl --no-pager -u 'tarn-reply@*' | tail -n 40
fi
echo "deploy: $((SECONDS - DEPLOY_START)) s$DEPLOY_ROOT_MADE"
netlab_finish
