#!/bin/bash
# Builds the Debian packages for amd64 and arm64 (scripts/build-packages.sh), holds both to lintian,
# installs the amd64 ones, checks what they installed, enables an instance of the unit for an
# interface that does not exist, then purges both and checks that nothing of theirs is left.
# Run as root on a machine without them; CI runs it from scripts/test.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
start=$SECONDS
fail() { echo "package-check.sh: $*" >&2; exit 1; }
packages=(tarn-reply libqelinterface1)
for package in "${packages[@]}"; do
    ! dpkg -s "$package" > /dev/null 2>&1 || fail "$package is installed; remove it first"
done

mapfile -t amd64 < <(bash scripts/build-packages.sh amd64)
mapfile -t arm64 < <(bash scripts/build-packages.sh arm64)
[ "${#amd64[@]}" = 2 ] && [ "${#arm64[@]}" = 2 ] || fail "expected two packages per architecture"
lintian --fail-on warning "${amd64[@]}" "${arm64[@]}" || fail "lintian (above)"

unpacked=$(mktemp -d)
wants=/etc/systemd/system/multi-user.target.wants/tarn-reply@pkgcheck0.service
trap 'dpkg --purge "${packages[@]}" > /dev/null 2>&1 || true; rm -rf "$wants" "$unpacked"' EXIT
for deb in "${arm64[@]}"; do
    [ "$(dpkg-deb -f "$deb" Architecture)" = arm64 ] || fail "$deb is not Architecture: arm64"
    dpkg-deb -x "$deb" "$unpacked"
done
for binary in usr/sbin/Tarn_reply usr/lib/aarch64-linux-gnu/libQELInterface.so.1; do
    readelf -h "$unpacked/$binary" | grep -q 'Machine: *AArch64' || fail "$binary is not AArch64"
done

dpkg -i "${amd64[@]}" > /dev/null
usage=$(/usr/sbin/Tarn_reply -h) || fail "Tarn_reply -h exits with $?"
[[ $usage == "Usage: Tarn_reply [options] [interface]"* ]] || fail "Tarn_reply -h: $usage"
installed=$(dpkg -L "${packages[@]}")
for file in /usr/sbin/Tarn_reply /usr/share/man/man8/Tarn_reply.8.gz \
    /lib/systemd/system/tarn-reply@.service /usr/lib/x86_64-linux-gnu/libQELInterface.so.1 \
    /usr/share/doc/tarn-reply/copyright /usr/share/doc/libqelinterface1/changelog.gz; do
    grep -qx "$file" <<< "$installed" || fail "$file is not installed"
done
! readelf -d /usr/sbin/Tarn_reply | grep -E 'RPATH|RUNPATH' || fail "Tarn_reply has a library path"
manual=$(man --warnings -l /usr/share/man/man8/Tarn_reply.8.gz 2>&1 > /dev/null)
[ -z "$manual" ] || fail "man: $manual"
verify=$(systemd-analyze verify /lib/systemd/system/tarn-reply@eth0.service 2>&1) &&
    [ -z "$verify" ] || fail "systemd-analyze verify: $verify"

systemctl enable tarn-reply@pkgcheck0 > /dev/null 2>&1
[ -L "$wants" ] || fail "systemctl enable made no $wants"
dpkg --purge "${packages[@]}" > /dev/null
[ ! -L "$wants" ] || fail "the purge left $wants"
while read -r file; do
    [ -d "$file" ] || [ ! -e "$file" ] || fail "the purge left $file"
done <<< "$installed"
echo "package-check.sh: amd64 and arm64 packages pass in $((SECONDS - start)) s"
