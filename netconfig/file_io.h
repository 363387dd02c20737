// The file system calls of this folder, wrapped once: results carry the system's error.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

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

// Opens for reading; an empty Fd and the error in ec when it cannot.
Fd openForReading(std::filesystem::path const& file, std::error_code& ec);
// Creates or truncates for writing with the default creation mode; empty Fd and ec on failure.
Fd openForWriting(std::filesystem::path const& file, std::error_code& ec);
// Appends everything up to the end of the file to out; the first read error, or none.
std::error_code readAll(Fd const& fd, std::string& out);
// Opens the file and appends all of it to out; the error of the open or the first read, or none.
std::error_code readWholeFile(std::filesystem::path const& file, std::string& out);
// Writes all of content, retrying short writes; the first write error, or none.
std::error_code writeAll(Fd const& fd, std::string_view content);
// Pushes the file's data to storage; the error, or none.
std::error_code syncFile(Fd const& fd);
// Makes renames and links inside the directory durable; the error, or none.
std::error_code syncDirectory(std::filesystem::path const& directory);
