// The journal of the changes --start-registry makes to PCs: before each change the restore it
// will need is appended as one JSON line and flushed to the disk, and once the PC is put back a
// line closes the entry. An entry without its closing line is pending: the PC may still be left
// changed, and `cairnmark-fleet --restore-services` puts it back. Lines of several runs and of
// many workers at once share one file; each is appended whole by a single write.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "platform/status.h"
#include "remote/registry_service.h"

namespace cairn {

// One PC's changes in one run: the entry names it across the journal's lines.
struct JournalEntry {
  std::string entry;   // unique in the journal: the run's token and the PC's job number
  std::string pc;      // as listed
  std::string server;  // the server path the changes were made through
  RegistryServiceChanges changes;
};

// The line (without its line end) that records a change about to be made, and the one that
// closes an entry whose PC is back as it was found (after: its state as read back).
std::string journalChangeLine(const JournalEntry& entry, RegistryServiceChange change);
std::string journalRestoredLine(const JournalEntry& entry, const std::string& after);

// Appends a line and its line end durably (platform/durable_file.h).
Status appendJournalLine(const std::string& path, const std::string& line);

struct JournalContents {
  std::vector<JournalEntry> pending;  // in the order their first lines appear
  // The last line has no line end: a write cut short, whose change was never made (a change
  // waits for its line to be on the disk). It must go before another line is appended.
  bool endsMidLine = false;
  std::uintmax_t wholeBytes = 0;  // the bytes up to the end of the last whole line
  std::string error;          // what is wrong, for a line no journal holds; empty when all was read
  std::size_t errorLine = 0;  // the line it is on, 0 for the file as a whole
};

// Cuts a line cut short off the journal it was read from, so that the next line appended stands
// alone; nothing happens where the journal ends with a whole line. False when it cannot be cut.
bool dropCutLine(const std::string& path, const JournalContents& contents);

// The error as a message names it: "FILE:LINE: what is wrong", or "FILE: what is wrong".
std::string journalError(const std::string& path, const JournalContents& contents);

// Reads a journal. Blank lines are skipped, and a last line cut short is ignored.
JournalContents readJournal(std::istream& in);

// The same for a file; a file that cannot be opened is an error naming no line.
JournalContents readJournalFile(const std::string& path);

}  // namespace cairn
