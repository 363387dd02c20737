// Error lines at priority err in systemd's journal, which otherwise files every line of a
// service's standard output and error at priority info.
#pragma once

// When standard error is the journal stream that JOURNAL_STREAM names ("DEVICE:INODE"), prefixes
// every line of std::cerr with "<3>" for the journal to read as priority err. On a terminal, in a
// file or a pipe, nothing changes. Call once, at start, before the first error line.
void markErrorLinesForJournal();
