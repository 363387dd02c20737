#!/bin/bash
# Shows the daemon at work (run as root): builds it, sets up the two-host test network, boots the
# device's eth0 with ifup, starts the daemon in the device host and lists the device from the PC
# host with gvcp-probe's table and with Aravis's arv-tool-0.8, then re-addresses it from the PC (a
# static address for the device with its serial number, then dhcp from dnsmasq), finds it again
# and restarts its interface. Everything is removed at the end.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1

bash scripts/install-deps.sh --demo || exit 1
cmake -S . -B build -DTARN_WERROR=ON -DTARN_SANITIZE=ON || exit 1
cmake --build build -j2 --target Tarn_reply gvcp-probe udp_peer device_mounts || exit 1

export NETLAB_BUILD_DIR=$PWD/build
source tests/netlab/netlab.sh
netlab_setup
netlab_device_ifup || netlab_fail_setup "ifup eth0: $(cat "$NETLAB_DIR/ifup.log")"
echo "== device host: eth0 is up"
dev_exec ip -4 -brief addr show dev eth0

echo "== device host: starting build/Tarn_reply -v eth0"
netlab_start_daemon_ready -v eth0 || netlab_fail_setup "the daemon did not start:
$(cat "$NETLAB_DAEMON_OUT" "$NETLAB_DAEMON_ERR")"
sed 's/^/   daemon: /' "$NETLAB_DAEMON_OUT"

echo "== PC host: build/gvcp-probe discover"
pc_exec "$NETLAB_PROBE" discover
echo "   (exit status $?)"

echo "== PC host: arv-tool-0.8"
pc_exec arv-tool-0.8
echo "   (exit status $?)"

# The serial number from the table: the last column but one, whatever spaces the model has.
SERIAL=$(pc_exec "$NETLAB_PROBE" discover | awk 'NR == 2 {print $(NF - 1)}')
echo "== PC host: build/gvcp-probe force-ip --serial $SERIAL 192.0.2.20 255.255.255.0 192.0.2.1"
pc_exec "$NETLAB_PROBE" force-ip --serial "$SERIAL" 192.0.2.20 255.255.255.0 192.0.2.1
echo "   (exit status $?)"
echo "== device host: the rewritten /etc/network/interfaces"
sed 's/^/   /' "$NETLAB_INTERFACES"
echo "== PC host: build/gvcp-probe discover --to 192.0.2.20"
pc_exec "$NETLAB_PROBE" discover --to 192.0.2.20
echo "   (exit status $?)"

echo "== PC host: dnsmasq serves DHCP; build/gvcp-probe force-ip $NETLAB_DEVICE_MAC dhcp"
netlab_start_dnsmasq || netlab_fail_setup "dnsmasq did not start"
pc_exec "$NETLAB_PROBE" force-ip "$NETLAB_DEVICE_MAC" dhcp
echo "   (exit status $?)"
echo "== PC host: build/gvcp-probe discover (the device now runs by dhcp)"
pc_exec "$NETLAB_PROBE" discover
echo "   (exit status $?)"

echo "== PC host: build/gvcp-probe force-ip $NETLAB_DEVICE_MAC restart"
pc_exec "$NETLAB_PROBE" force-ip "$NETLAB_DEVICE_MAC" restart
echo "   (exit status $?)"

echo "== what the daemon printed while answering"
sed 's/^/   daemon: /' "$NETLAB_DAEMON_OUT"

echo "== stopping the daemon"
netlab_stop_daemon TERM
echo "   (exit status $?)"
