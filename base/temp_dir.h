// Test helper: a scratch directory per test, so tests never share or leave files behind.
#pragma once

#include <filesystem>

// A fresh directory under the system's temporary path, removed with everything in it; the
// constructor throws std::system_error when it cannot be made.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(TempDir const&) = delete;
    TempDir& operator=(TempDir const&) = delete;
    std::filesystem::path const& path() const { return path_; }

  private:
    std::filesystem::path path_;
};
