// Bookkeeping of socket handles: which handles were given out and which descriptors are still
// open. Only open descriptors are stored, so memory follows the open count, not the history.
#pragma once

#include <climits>
#include <map>
#include <vector>

namespace QEL_Finder {

class HandleTable {
  public:
    // A table whose next handle is firstHandle and whose largest is lastHandle; handles below
    // firstHandle count as given out and closed.
    explicit HandleTable(int firstHandle = 0, int lastHandle = INT_MAX);

    // Records an open descriptor and returns its handle; after lastHandle the count wraps to 0,
    // skipping handles that are still open. -1 when every handle is open.
    int add(int descriptor);
    // True for a non-negative handle this table has handed out (all of them after a wrap).
    bool givenOut(int handle) const;
    // The handle's descriptor, -1 once closed; throws std::out_of_range if not given out.
    int descriptor(int handle) const;
    // Forgets the handle's descriptor and returns it (-1 if already closed); throws
    // std::out_of_range if not given out.
    int release(int handle);
    // The descriptors still open, in handle order.
    std::vector<int> openDescriptors() const;

  private:
    void advance();
    void requireGivenOut(int handle) const;

    std::map<int, int> open_;
    int next_;
    int last_;
    bool wrapped_ = false;
};

}  // namespace QEL_Finder
