#!/usr/bin/env bash
# Installs every Debian package the build and the test suites need. Run as root.
set -euo pipefail

packages=(
  g++ make cmake libgtest-dev libgmock-dev clang-format clang-tidy binutils
  iproute2 procps util-linux psmisc
  ifupdown isc-dhcp-client dnsmasq-base snmpd snmp aravis-tools-cli tshark
)

missing=()
for package in "${packages[@]}"; do
  dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
if [ "${#missing[@]}" -eq 0 ]; then
  exit 0
fi

export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}"
