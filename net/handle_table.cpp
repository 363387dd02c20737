#include "net/handle_table.h"

#include <cstddef>
#include <stdexcept>
#include <string>

namespace QEL_Finder {

HandleTable::HandleTable(int firstHandle, int lastHandle)
    : next_(firstHandle < 0 ? 0 : firstHandle), last_(lastHandle < next_ ? next_ : lastHandle) {}

void HandleTable::advance() {
    if (next_ == last_) {
        next_ = 0;
        wrapped_ = true;
    } else {
        ++next_;
    }
}

int HandleTable::add(int descriptor) {
    if (open_.size() > static_cast<std::size_t>(last_)) {
        return -1;
    }
    while (open_.contains(next_)) {
        advance();
    }
    int const handle = next_;
    advance();
    open_.emplace(handle, descriptor);
    return handle;
}

bool HandleTable::givenOut(int handle) const {
    return handle >= 0 && (wrapped_ || handle < next_);
}

void HandleTable::requireGivenOut(int handle) const {
    if (!givenOut(handle)) {
        throw std::out_of_range("socket handle " + std::to_string(handle) + " was never given out");
    }
}

int HandleTable::descriptor(int handle) const {
    requireGivenOut(handle);
    auto const found = open_.find(handle);
    return found == open_.end() ? -1 : found->second;
}

int HandleTable::release(int handle) {
    requireGivenOut(handle);
    auto const found = open_.find(handle);
    if (found == open_.end()) {
        return -1;
    }
    int const fd = found->second;
    open_.erase(found);
    return fd;
}

std::vector<int> HandleTable::openDescriptors() const {
    std::vector<int> fds;
    fds.reserve(open_.size());
    for (auto const& [handle, fd] : open_) {
        fds.push_back(fd);
    }
    return fds;
}

}  // namespace QEL_Finder
