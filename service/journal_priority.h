// Error lines at priority err in systemd's journal, which otherwise files every line of a
// service's standard output and error at priority info.
#pragma once

#include <memory>
#include <streambuf>

// When standard error is the journal stream that JOURNAL_STREAM names ("DEVICE:INODE"), prefixes
// every line of std::cerr with "<3>" for the journal to read as priority err, until destroyed,
// when std::cerr gets its own buffer back. On a terminal, in a file or a pipe, nothing changes.
// Made once, in main, before the first error line.
class JournalErrorMarker {
  public:
    JournalErrorMarker();
    ~JournalErrorMarker();
    JournalErrorMarker(JournalErrorMarker const&) = delete;
    JournalErrorMarker& operator=(JournalErrorMarker const&) = delete;

  private:
    std::streambuf* original_ = nullptr;
    std::unique_ptr<std::streambuf> marking_;
};
