#include "base/service_notify.h"

#include <sys/time.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdlib>

#include "base/fd.h"

namespace {

ServiceNotifier const* notifierInUse = nullptr;

}  // namespace

std::optional<NotifySocketAddress> parseNotifySocket(std::string_view value) {
    if (value.size() < 2 || (value.front() != '/' && value.front() != '@')) {
        return std::nullopt;
    }
    bool const abstract = value.front() == '@';
    NotifySocketAddress target;
    // A path needs room for its terminating zero; an abstract name's leading zero stands where
    // the '@' was, and its length alone ends it.
    if (value.size() + (abstract ? 0 : 1) > sizeof(target.address.sun_path)) {
        return std::nullopt;
    }
    target.address.sun_family = AF_UNIX;
    std::copy(value.begin(), value.end(), target.address.sun_path);
    if (abstract) {
        target.address.sun_path[0] = '\0';
    }
    target.length =
        static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + value.size() + (abstract ? 0 : 1));
    return target;
}

ServiceNotifier ServiceNotifier::adopt() {
    ServiceNotifier notifier;
    char const* const value = std::getenv("NOTIFY_SOCKET");
    if (value != nullptr) {
        notifier.socket_ = parseNotifySocket(value);
        ::unsetenv("NOTIFY_SOCKET");
    }
    return notifier;
}

std::error_code ServiceNotifier::send(std::string_view message) const {
    if (!socket_) {
        return {};
    }
    std::optional<NotifySocketAddress> const& target = *socket_;
    if (!target) {
        return std::make_error_code(std::errc::invalid_argument);
    }
    Fd const socket(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!socket) {
        return lastError();
    }
    // A busy service manager's full queue must not hold the daemon off the network.
    timeval const timeout{1, 0};
    if (::setsockopt(socket.get(), SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof(timeout)) != 0) {
        return lastError();
    }
    ssize_t sent = 0;
    do {
        sent = ::sendto(socket.get(), message.data(), message.size(), MSG_NOSIGNAL,
                        reinterpret_cast<sockaddr const*>(&target->address), target->length);
    } while (sent < 0 && errno == EINTR);
    return sent < 0 ? lastError() : std::error_code{};
}

ServiceNotifierInUse::ServiceNotifierInUse(ServiceNotifier const& notifier) {
    notifierInUse = &notifier;
}

ServiceNotifierInUse::~ServiceNotifierInUse() {
    notifierInUse = nullptr;
}

bool notifySocketAdopted() {
    return notifierInUse != nullptr && notifierInUse->adopted();
}

std::error_code notifyServiceManager(std::string_view message) {
    return notifierInUse != nullptr ? notifierInUse->send(message) : std::error_code{};
}
