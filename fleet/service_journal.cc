#include "fleet/service_journal.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <istream>
#include <nlohmann/json.hpp>

#include "platform/durable_file.h"

namespace cairn {
namespace {

using Json = nlohmann::ordered_json;

// The key and version every line of a journal carries, so that another file is never taken
// for one.
constexpr const char* MarkKey = "cairnmark_journal";
constexpr int Version = 1;

Json lineOf(const JournalEntry& entry) {
  return Json{{MarkKey, Version}, {"entry", entry.entry}, {"pc", entry.pc}};
}

std::string dump(const Json& json) {
  return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}

// The text of a key that must hold a non-empty string, or empty text.
std::string textOf(const Json& json, const char* key) {
  const auto found = json.find(key);
  if (found == json.end() || !found->is_string()) return {};
  return found->get<std::string>();
}

// Takes one line into the pending entries; the error, or empty text.
std::string take(const std::string& line, std::vector<JournalEntry>& pending) {
  const Json json = Json::parse(line, nullptr, false);
  if (json.is_discarded() || !json.is_object()) return "not a JSON object";
  const auto mark = json.find(MarkKey);
  if (mark == json.end() || *mark != Version) return "not a line of a cairnmark-fleet journal";
  JournalEntry read{textOf(json, "entry"), textOf(json, "pc"), textOf(json, "server"), {}};
  if (read.entry.empty() || read.pc.empty()) return "an entry without its \"entry\" or \"pc\"";
  auto known = std::find_if(pending.begin(), pending.end(),
                            [&](const JournalEntry& e) { return e.entry == read.entry; });
  if (json.contains("restored")) {
    if (known != pending.end()) pending.erase(known);
    return {};
  }
  const std::string change = textOf(json, "change");
  if (change != "enable" && change != "start") return "a change that is neither enable nor start";
  if (read.server.empty()) return "a change without its \"server\"";
  if (known == pending.end()) known = pending.insert(pending.end(), read);
  if (known->server != read.server || known->pc != read.pc)
    return "an entry whose PC or server differs from its first line";
  (change == "enable" ? known->changes.enabled : known->changes.started) = true;
  return {};
}

}  // namespace

std::string journalChangeLine(const JournalEntry& entry, RegistryServiceChange change) {
  Json json = lineOf(entry);
  json["server"] = entry.server;
  json["change"] = change == RegistryServiceChange::Enable ? "enable" : "start";
  return dump(json);
}

std::string journalRestoredLine(const JournalEntry& entry, const std::string& after) {
  Json json = lineOf(entry);
  json["restored"] = after;
  return dump(json);
}

Status appendJournalLine(const std::string& path, const std::string& line) {
  return appendDurably(path, line + '\n');
}

JournalContents readJournal(std::istream& in) {
  JournalContents contents;
  std::string line;
  for (std::size_t number = 1; std::getline(in, line); ++number) {
    const bool last = in.eof();
    if (last)
      contents.endsMidLine = true;
    else
      contents.wholeBytes += line.size() + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find_first_not_of(" \t") == std::string::npos) continue;
    const std::string error = take(line, contents.pending);
    if (last && !error.empty()) break;
    if (!error.empty()) {
      contents.error = error + " (not a journal of this program)";
      contents.errorLine = number;
      break;
    }
  }
  return contents;
}

JournalContents readJournalFile(const std::string& path) {
  std::error_code ignored;
  std::ifstream in(path, std::ios::binary);
  // A directory opens as a stream that reads as an empty journal.
  if (!in || std::filesystem::is_directory(path, ignored)) {
    JournalContents contents;
    contents.error = "the journal cannot be read";
    return contents;
  }
  JournalContents contents = readJournal(in);
  if (in.bad()) contents.error = "the journal cannot be read";
  return contents;
}

bool dropCutLine(const std::string& path, const JournalContents& contents) {
  if (!contents.endsMidLine) return true;
  std::error_code error;
  std::filesystem::resize_file(path, contents.wholeBytes, error);
  return !error;
}

std::string journalError(const std::string& path, const JournalContents& contents) {
  return path + (contents.errorLine > 0 ? ":" + std::to_string(contents.errorLine) : "") + ": " +
         contents.error;
}

}  // namespace cairn
