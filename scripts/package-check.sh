#!/bin/bash
# The Debian packages of amd64 and arm64 held to lintian, the arm64 ones checked for AArch64, the
# amd64 ones installed: their files (programs without a library path, manual pages, the unit,
# copyright), the autopkgtests of debian/tests run as a user without root, the installed
# gvcp-probe run without root in the test network's PC host against the installed daemon, no
# instance enabled by the installation and the unit's default instance eth0; then purged, and
# nothing of theirs left. Run as root on a machine without them, after the native build (the test
# network's helpers in build/tests). The packages are built here (scripts/build-packages.sh),
# unless TARN_PACKAGES_BUILT=1 says that they were, as scripts/test.sh does before it runs this.
set -euo pipefail
cd "$(dirname "$0")/.."
start=$SECONDS
fail() { echo "package-check.sh: $*" >&2; exit 1; }
packages=(tarn-reply gvcp-probe libqelinterface1)
for package in "${packages[@]}"; do
    ! dpkg -s "$package" > /dev/null 2>&1 || fail "$package is installed; remove it first"
done

for arch in amd64 arm64; do
    if [ "${TARN_PACKAGES_BUILT:-0}" != 1 ]; then
        bash scripts/build-packages.sh "$arch" > /dev/null
    fi
    changes=(build-deb/"$arch"/*.changes)
    [ -f "${changes[0]}" ] || fail "no packages in build-deb/$arch (scripts/build-packages.sh $arch)"
done
# The packages themselves, their debug symbols beside them.
debs() {
    local deb
    for deb in build-deb/"$1"/*.deb; do
        [[ $deb == *-dbgsym_* ]] || echo "$deb"
    done
}
mapfile -t amd64 < <(debs amd64)
mapfile -t arm64 < <(debs arm64)
[ "${#amd64[@]}" = 3 ] && [ "${#arm64[@]}" = 3 ] || fail "expected three packages per architecture"
lintian --fail-on warning build-deb/amd64/*.changes build-deb/arm64/*.changes || fail "lintian (above)"

unpacked=$(mktemp -d)
wants=/etc/systemd/system/multi-user.target.wants
trap 'dpkg --purge "${packages[@]}" > /dev/null 2>&1 || true
    rm -rf "$wants"/tarn-reply@* /etc/systemd/system/sys-subsystem-net-devices-*.device.wants \
        "$unpacked"' EXIT
for deb in "${arm64[@]}"; do
    [ "$(dpkg-deb -f "$deb" Architecture)" = arm64 ] || fail "$deb is not Architecture: arm64"
    dpkg-deb -x "$deb" "$unpacked"
done
for binary in usr/sbin/Tarn_reply usr/bin/gvcp-probe usr/lib/aarch64-linux-gnu/libQELInterface.so.1; do
    readelf -h "$unpacked/$binary" | grep -q 'Machine: *AArch64' || fail "$binary is not AArch64"
done

dpkg -i "${amd64[@]}" > /dev/null
installed=$(dpkg -L "${packages[@]}")
unit=$(grep -E '^(/usr)?/lib/systemd/system/tarn-reply@\.service$' <<< "$installed") ||
    fail "the unit is not installed"
for file in /usr/sbin/Tarn_reply /usr/share/man/man8/Tarn_reply.8.gz /usr/bin/gvcp-probe \
    /usr/share/man/man1/gvcp-probe.1.gz /usr/lib/x86_64-linux-gnu/libQELInterface.so.1 \
    /usr/share/doc/tarn-reply/copyright /usr/share/doc/gvcp-probe/copyright \
    /usr/share/doc/libqelinterface1/copyright /usr/share/doc/libqelinterface1/changelog.gz; do
    grep -qx "$file" <<< "$installed" || fail "$file is not installed"
done
for binary in /usr/sbin/Tarn_reply /usr/bin/gvcp-probe; do
    ! readelf -d "$binary" | grep -E 'RPATH|RUNPATH' || fail "$binary has a library path"
done
for page in /usr/share/man/man8/Tarn_reply.8.gz /usr/share/man/man1/gvcp-probe.1.gz; do
    manual=$(man --warnings -l "$page" 2>&1 > /dev/null)
    [ -z "$manual" ] || fail "man $page: $manual"
done
verify=$(systemd-analyze verify "${unit%@.service}@eth0.service" 2>&1) &&
    [ -z "$verify" ] || fail "systemd-analyze verify: $verify"

# The autopkgtests, as the user nobody from a folder of its own (the tests need no root).
tests=$(mktemp -d)
cp debian/tests/* "$tests"
chmod -R a+rX "$tests"
for test in $(sed -n 's/^Tests: *//p' debian/tests/control); do
    (cd /tmp && setpriv --reuid=nobody --regid=nogroup --clear-groups "$tests/$test") ||
        { rm -rf "$tests"; fail "debian/tests/$test failed (above)"; }
done
rm -rf "$tests"

# The installed probe as a user without root in the test network's PC host, the installed daemon
# in its device host. A shell of its own: netlab.sh tells its own children by the shell's PID.
probe_lists_the_device() {
    export NETLAB_BUILD_DIR=$PWD/build NETLAB_DAEMON=/usr/sbin/Tarn_reply
    source tests/netlab/netlab.sh
    netlab_setup
    netlab_device_ifup || fail "ifup eth0: $(cat "$NETLAB_DIR/ifup.log")"
    netlab_start_daemon_ready -v eth0 ||
        fail "the daemon did not start: $(cat "$NETLAB_DAEMON_OUT" "$NETLAB_DAEMON_ERR")"
    local listed
    listed=$(pc_exec setpriv --reuid=nobody --regid=nogroup --clear-groups /usr/bin/gvcp-probe \
        discover --timeout-ms 3000) || fail "gvcp-probe discover as nobody exits with $?: $listed"
    grep -Eq "^$NETLAB_DEVICE_MAC +192\\.0\\.2\\.10 +static .* pc0\$" <<< "$listed" ||
        fail "gvcp-probe discover as nobody does not list the device: $listed"
}
bash -c "$(declare -f fail probe_lists_the_device); probe_lists_the_device"

# The installation enabled no instance; the unit's default instance is eth0.
! ls /etc/systemd/system/*.wants/tarn-reply@* > /dev/null 2>&1 ||
    fail "the installation enabled $(ls /etc/systemd/system/*.wants/tarn-reply@*)"
systemctl enable tarn-reply@pkgcheck0 > /dev/null 2>&1
systemctl enable tarn-reply@ > /dev/null 2>&1
for instance in pkgcheck0 eth0; do
    [ -L "$wants/tarn-reply@$instance.service" ] || fail "systemctl enable made no tarn-reply@$instance"
done
dpkg --purge "${packages[@]}" > /dev/null
! ls -d /etc/systemd/system/*.wants/tarn-reply@* /etc/systemd/system/sys-subsystem-net-devices-* \
    > /dev/null 2>&1 || fail "the purge left $(ls -d /etc/systemd/system/*/tarn-reply@*)"
while read -r file; do
    [ -d "$file" ] || [ ! -e "$file" ] || fail "the purge left $file"
done <<< "$installed"
echo "package-check.sh: amd64 and arm64 packages pass in $((SECONDS - start)) s"
