#!/bin/bash
# Installs the Debian packages the build and the tests need (run as root); with --demo only those
# of scripts/demo.sh (the build of the daemon and its test tools, the test network's ifupdown,
# DHCP client and server, Aravis's arv-tool-0.8). The arm64 libraries of the package's cross
# build need arm64 as a foreign architecture of dpkg, added first. A re-run with everything
# present installs nothing.
#   bash scripts/install-deps.sh [--demo]
set -euo pipefail

demo=(
    build-essential g++ cmake ccache libgtest-dev libgmock-dev make
    iproute2 procps util-linux ifupdown isc-dhcp-client dnsmasq-base aravis-tools-cli bash-builtins
)
packages=(
    "${demo[@]}" clang-format clang-tidy psmisc snmpd snmp tshark binutils avahi-autoipd clang-14
    libclang-rt-14-dev
    # The crash suite traces a rewrite's system calls.
    strace
    # socat receives the daemon's notifications as systemd would (packet loop suite).
    socat
    # The AArch64 test build (scripts/test-aarch64.sh): the cross compiler, GoogleTest's sources,
    # qemu.
    g++-aarch64-linux-gnu googletest qemu-user
    # The Debian packages (scripts/build-packages.sh): debhelper, and for the arm64 cross build
    # Debian's cross toolchain and the arm64 C and C++ libraries that dpkg-shlibdeps reads.
    debhelper dpkg-dev crossbuild-essential-arm64 libc6-dev:arm64 libstdc++-12-dev:arm64
    # The package check (scripts/package-check.sh): lintian, man and systemd-analyze.
    lintian man-db systemd
    # The deployment test (tests/deploy): a Debian root made with mmdebstrap, booted by nspawn.
    mmdebstrap systemd-container
)
case ${1:-} in
    --demo) packages=("${demo[@]}") ;;
    "") ;;
    *)
        echo "Usage: scripts/install-deps.sh [--demo]" >&2
        exit 2
        ;;
esac

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
if printf '%s\n' "${missing[@]}" | grep -q ':arm64$' && ! dpkg --print-foreign-architectures |
    grep -qx arm64; then
    dpkg --add-architecture arm64
fi
apt-get update
# tshark asks whether non-root users may capture; the answer does not matter for root.
echo "wireshark-common wireshark-common/install-setuid boolean false" | debconf-set-selections
apt-get install -y --no-install-recommends "${missing[@]}"
