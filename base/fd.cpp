#include "base/fd.h"

#include <unistd.h>

Fd& Fd::operator=(Fd&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = other.release();
    }
    return *this;
}

Fd::~Fd() {
    close();
}

int Fd::release() {
    int const fd = fd_;
    fd_ = -1;
    return fd;
}

std::error_code Fd::close() {
    if (fd_ < 0) {
        return {};
    }
    // Linux frees the descriptor even when close fails, so it is never retried.
    int const result = ::close(release());
    return result == 0 ? std::error_code{} : lastError();
}
