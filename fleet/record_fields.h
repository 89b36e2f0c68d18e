// The fields of a PC's record, one row each, in the order the CSV header, the JSON object and
// the page's table show them. A field is added here and nowhere else: the record files, the page
// and the worker's result are all made from this table. A field the fleet command knows itself
// (when a check started) is a member of PcRecord with no fromWorker; one the check run finds out
// (a registry value) is a member of CheckRecord, and its fromWorker takes it back in the fleet.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
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
  // For a field the fleet command fills in: takes the value back from a record file's line
  // (cairnmark-fleet report), false when it has the wrong type. A field of the worker's is read
  // back by its fromWorker.
  bool (*fromFile)(PcRecord& record, const RecordJson& value) = nullptr;
};

std::span<const RecordField> recordFields();

// The record a record file's JSON object holds, or the error: a key no record has, a field of
// the wrong type. A field it lacks counts as null, so a record written before the field was
// added reads back, where null suits the field.
std::optional<PcRecord> recordOfJson(const RecordJson& json, std::string& error);

// A value as the CSV row and the page show it: null as the empty text, numbers in decimal.
std::string fieldText(const RecordJson& value);

}  // namespace cairn
