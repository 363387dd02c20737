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

// The daemon's line to systemd, as NOTIFY_SOCKET named it at start. Made once, in main.
class ServiceNotifier {
  public:
    // Not started by systemd: sends nothing.
    ServiceNotifier() = default;

    // Takes NOTIFY_SOCKET out of the environment and keeps it, so that the commands the daemon
    // runs (systemctl, ifup, the DHCP client) do not speak for it.
    static ServiceNotifier adopt();

    // True when NOTIFY_SOCKET was set at start: systemd listens for notifications.
    bool adopted() const { return socket_.has_value(); }

    // Sends message (assignments such as "READY=1", one a line) in one datagram, waiting at most
    // 1 s for room in the socket's queue. Without NOTIFY_SOCKET sends nothing and succeeds;
    // otherwise the error of an unusable value, of the socket or of the send, or none.
    std::error_code send(std::string_view message) const;

  private:
    // None outside systemd; an empty target for a value that names no socket, reported with each
    // message.
    std::optional<std::optional<NotifySocketAddress>> socket_;
};

// While it lives, notifyServiceManager and notifySocketAdopted speak through notifier, for code
// that reports to systemd without being handed it. One at a time; main owns it.
class ServiceNotifierInUse {
  public:
    explicit ServiceNotifierInUse(ServiceNotifier const& notifier);
    ~ServiceNotifierInUse();
    ServiceNotifierInUse(ServiceNotifierInUse const&) = delete;
    ServiceNotifierInUse& operator=(ServiceNotifierInUse const&) = delete;
};

// The notifier in use's adopted(); false without one.
bool notifySocketAdopted();

// The notifier in use's send(); without one sends nothing and succeeds.
std::error_code notifyServiceManager(std::string_view message);
