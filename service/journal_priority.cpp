#include "service/journal_priority.h"

#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <memory>
#include <streambuf>
#include <string>
#include <string_view>
#include <utility>

#include "base/whole_number.h"

namespace {

// True when a JOURNAL_STREAM value (decimal "DEVICE:INODE") names the file with this device and
// inode number.
bool namesJournalStream(std::string_view journalStream, dev_t device, ino_t inode) {
    std::size_t const colon = journalStream.find(':');
    if (colon == std::string_view::npos) {
        return false;
    }
    return parseWholeNumber<dev_t>(journalStream.substr(0, colon)) == device &&
           parseWholeNumber<ino_t>(journalStream.substr(colon + 1)) == inode;
}

// Passes everything on to its target, with a prefix before the first character of every line.
// Unbuffered: the stream it serves flushes every line anyway.
class LinePrefixBuffer : public std::streambuf {
  public:
    LinePrefixBuffer(std::streambuf* target, std::string prefix)
        : target_(target), prefix_(std::move(prefix)) {}

  protected:
    int_type overflow(int_type character) override {
        if (traits_type::eq_int_type(character, traits_type::eof())) {
            return traits_type::not_eof(character);
        }
        if (atLineStart_) {
            auto const length = static_cast<std::streamsize>(prefix_.size());
            if (target_->sputn(prefix_.data(), length) != length) {
                return traits_type::eof();
            }
        }
        atLineStart_ = traits_type::to_char_type(character) == '\n';
        return target_->sputc(traits_type::to_char_type(character));
    }
    int sync() override { return target_->pubsync(); }

  private:
    std::streambuf* target_;
    std::string prefix_;
    bool atLineStart_ = true;
};

}  // namespace

JournalErrorMarker::JournalErrorMarker() {
    char const* const journalStream = std::getenv("JOURNAL_STREAM");
    struct stat standardError {};
    if (journalStream == nullptr || ::fstat(STDERR_FILENO, &standardError) != 0 ||
        !namesJournalStream(journalStream, standardError.st_dev, standardError.st_ino)) {
        return;
    }
    original_ = std::cerr.rdbuf();
    marking_ = std::make_unique<LinePrefixBuffer>(original_, "<3>");
    std::cerr.rdbuf(marking_.get());
}

// The final flush of the standard streams comes after main has returned: std::cerr must not
// point at this buffer then.
JournalErrorMarker::~JournalErrorMarker() {
    if (marking_) {
        std::cerr.rdbuf(original_);
    }
}
