#!/bin/bash
# Runs inside the device host's fresh private mount namespace: puts the test's own copies over the
# paths the daemon and the platform tools write, then becomes the command (exec keeps the PID).
# Usage: device_host.sh DEVICE_MOUNTS TESTDIR COMMAND [ARG...], DEVICE_MOUNTS being the built
# tests/device_mounts.
set -e
mounts=$1
dir=$2
shift 2

# The test's files over the real paths, all in one process.
"$mounts" "$dir"

# Fault cases: /etc/network read-only, or on a file system with no space left (a tmpfs of this
# namespace alone, seen from outside through /proc/PID/root of a process inside).
case "${NETLAB_ETC_NETWORK_FAULT:-}" in
    read-only)
        mount -o remount,bind,ro /etc/network
        ;;
    full)
        mount -t tmpfs -o size=512k tmpfs /etc/network
        cp -a "$dir/dev/etc-network/." /etc/network/
        cat /dev/zero >/etc/network/.filler 2>/dev/null || true
        ;;
esac

# The interface's sysfs directory hidden, as if its address file were missing.
if [ "${NETLAB_HIDE_SYSFS_ADDRESS:-}" = 1 ]; then
    mount -t tmpfs tmpfs /sys/class/net/eth0
fi

export PATH="$dir/dev/fakebin:$PATH"
exec "$@"
