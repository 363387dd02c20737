#include "base/temp_dir.h"

#include <stdlib.h>

#include <string>
#include <system_error>

#include "base/fd.h"

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tarn-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::system_error(lastError(), "making a directory in " +
                                                 std::filesystem::temp_directory_path().string());
    }
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}
