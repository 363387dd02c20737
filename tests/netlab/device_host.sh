#!/bin/bash
# Runs inside the device host's fresh private mount namespace: puts the test's own copies over the
# paths the daemon and the platform tools write, then becomes the command (exec keeps the PID).
# Usage: device_host.sh TESTDIR COMMAND [ARG...]
set -e
dir=$1
shift

# Everything else written under /etc (dhclient-script's temporary resolver file, for one) lands in
# the test's upper directory instead of the host's /etc.
if ! mount -t overlay overlay \
    -o "lowerdir=/etc,upperdir=$dir/dev/etc-upper,workdir=$dir/dev/etc-work" /etc 2>/dev/null; then
    echo "netlab: no overlay on /etc; writes outside the test's files reach the host's /etc" >&2
fi
mount --bind "$dir/dev/etc-network" /etc/network
mount --bind "$dir/dev/resolv.conf" /etc/resolv.conf
# Non-recursive on purpose: the host's mounts below /run (its netns files) stay out of sight.
mount --bind "$dir/dev/run" /run
if [ -d /var/lib/dhcp ]; then
    mount --bind "$dir/dev/var-lib-dhcp" /var/lib/dhcp
fi
if [ -d /var/lib/snmp ]; then
    mount --bind "$dir/dev/var-lib-snmp" /var/lib/snmp
fi
if [ -d /var/lib/avahi-autoipd ]; then
    mount --bind "$dir/dev/var-lib-avahi-autoipd" /var/lib/avahi-autoipd
fi

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
