// The record of one PC, and its two file forms: a CSV row and a JSON object on one line. Its
// fields are listed in fleet/record_fields.cc.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/check_record.h"

namespace cairn {

struct PcRecord {
  std::string pc;  // as listed
  std::size_t line = 0;
  int exitCode = 0;
  std::string reason;
  CheckRecord check;
  long long ms = 0;
  // When its check began (for a bad value: when its line was read), so that the records of
  // several runs can be put in order.
  std::chrono::sys_time<std::chrono::milliseconds> started{};
  std::string domain;  // the run's --domain, so that merged records of several runs keep theirs
  // RemoteRegistry's state and start type ("stopped/disabled") as found and as left, where the
  // fleet asked the PC's service manager about it.
  std::optional<std::string> registryServiceBefore;
  std::optional<std::string> registryServiceAfter;
  // The reason the worker found in RemoteRegistry's state or in starting and restoring it; it
  // stands over the reason read from the check's end. Empty where it found none.
  std::string serviceReason;
};

// The CSV header line, without its line end.
std::string csvHeader();
// One CSV row (RFC 4180 quoting, every field a safe cell), without its line end.
std::string csvRow(const PcRecord& record);
// One JSON object on one line, without its line end. Bytes that are not UTF-8 become U+FFFD.
std::string jsonLine(const PcRecord& record);

// The pc field of a record line of either form, or nothing for a line that is no record (the
// CSV header, a line cut short by a crash).
std::optional<std::string> recordedPcOfCsv(std::string_view line);
std::optional<std::string> recordedPcOfJson(std::string_view line);

}  // namespace cairn
