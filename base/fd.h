// Ownership of one file descriptor outside the socket manager's handle list: closed when dropped.
#pragma once

#include <cerrno>
#include <system_error>

// The error errno holds now, as a value to return.
inline std::error_code lastError() {
    return {errno, std::system_category()};
}

// Owns one open descriptor and closes it when dropped; -1 holds nothing.
class Fd {
  public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    Fd(Fd&& other) noexcept : fd_(other.release()) {}
    Fd& operator=(Fd&& other) noexcept;
    Fd(Fd const&) = delete;
    Fd& operator=(Fd const&) = delete;
    ~Fd();

    int get() const { return fd_; }                      // the descriptor, -1 when empty
    int release();                                       // gives up ownership; -1 when empty
    explicit operator bool() const { return fd_ >= 0; }  // true while it holds a descriptor
    // Closes now, so that a deferred write error surfaces; the error, or none.
    std::error_code close();

  private:
    int fd_ = -1;
};
