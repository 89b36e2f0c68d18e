// The fields of a PC's record, one row each, in the order the CSV header, the JSON object and
// the page's table show them. A field is added here and nowhere else: the record files, the page
// and the worker's result are all made from this table. A field the fleet command knows itself
// (when a check started) is a member of PcRecord with no fromWorker; one the check run finds out
// (a registry value) is a member of CheckRecord, and its fromWorker takes it back in the fleet.
#pragma once

#include <nlohmann/json.hpp>
#include <span>
#include <string>

#include "fleet/pc_record.h"

namespace cairn {

using RecordJson = nlohmann::ordered_json;

struct RecordField {
  const char* key;      // the CSV header's name and the JSON key
  const char* heading;  // the page's column heading
  // The field's value: text, a number, or null where the run did not get that far.
  RecordJson (*value)(const PcRecord& record);
  // For a field the check in the worker fills in: takes the value back from the worker's
  // result, false when it has the wrong type. Null for a field the fleet command fills in.
  bool (*fromWorker)(PcRecord& record, const RecordJson& value);
};

std::span<const RecordField> recordFields();

// A value as the CSV row and the page show it: null as the empty text, numbers in decimal.
std::string fieldText(const RecordJson& value);

}  // namespace cairn
