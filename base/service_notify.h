// Messages to systemd over the datagram socket that NOTIFY_SOCKET names: readiness, stopping and
// a status line. The protocol is a documented stable interface; a sender of our own costs no
// library mapped into the daemon.
#pragma once

#include <sys/socket.h>
#include <sys/un.h>

#include <optional>
#include <string_view>
#include <system_error>

// Where notifications go: a file system path, or an abstract name.
struct NotifySocketAddress {
    sockaddr_un address{};
    socklen_t length = 0;
};

// The address a NOTIFY_SOCKET value names: an absolute path, or "@name" for an abstract socket;
// nullopt for anything else (empty, relative, too long for a socket address).
std::optional<NotifySocketAddress> parseNotifySocket(std::string_view value);

// Takes NOTIFY_SOCKET out of the environment and keeps it for notifyServiceManager, so that the
// commands the daemon runs (systemctl, ifup, the DHCP client) do not speak for it. Call once at
// start.
void adoptNotifySocket();

// True when NOTIFY_SOCKET was set at start: systemd listens for notifications.
bool notifySocketAdopted();

// Sends message (assignments such as "READY=1", one a line) in one datagram to the socket
// NOTIFY_SOCKET named, waiting at most 1 s for room in its queue. Without NOTIFY_SOCKET (not
// started by systemd) sends nothing and succeeds; otherwise the error of an unusable value, of
// the socket or of the send, or none.
std::error_code notifyServiceManager(std::string_view message);
