#!/bin/bash
# Installs every Debian package the build and the tests need (run as root). A re-run with
# everything present installs nothing.
set -euo pipefail

packages=(
    build-essential g++ cmake ccache libgtest-dev libgmock-dev clang-format clang-tidy
    make iproute2 procps psmisc util-linux ifupdown isc-dhcp-client dnsmasq-base snmpd snmp
    aravis-tools-cli tshark binutils avahi-autoipd clang-14 libclang-rt-14-dev
    # The crash suite traces a rewrite's system calls; the suites' polls sleep in bash itself.
    strace bash-builtins
    # socat receives the daemon's notifications as systemd would (packet loop suite).
    socat
    # The AArch64 build (scripts/test-aarch64.sh): the cross compiler, GoogleTest's sources, qemu.
    g++-aarch64-linux-gnu googletest qemu-user
    # The Debian packages (scripts/package-check.sh): file and dpkg-dev for CPack, lintian, man
    # and systemd-analyze.
    file dpkg-dev lintian man-db systemd
    # The deployment test (tests/deploy): a Debian root made with mmdebstrap, booted by nspawn.
    mmdebstrap systemd-container
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg -s "$package" 2>/dev/null | grep -q '^Status: install ok installed$'; then
        missing+=("$package")
    fi
done
if [ "${#missing[@]}" -eq 0 ]; then
    echo "install-deps: all packages present"
    exit 0
fi

if [ "$(id -u)" != 0 ]; then
    echo "install-deps: missing ${missing[*]}; run as root to install them" >&2
    exit 1
fi
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update
# tshark asks whether non-root users may capture; the answer does not matter for root.
echo "wireshark-common wireshark-common/install-setuid boolean false" | debconf-set-selections
apt-get install -y --no-install-recommends "${missing[@]}"
