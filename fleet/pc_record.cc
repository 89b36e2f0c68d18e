#include "fleet/pc_record.h"

#include <algorithm>

#include "fleet/record_fields.h"

namespace cairn {
namespace {

// The key of the field that names the PC, the first of every record.
const std::string_view PcKey = recordFields().front().key;

std::string csvField(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + '"';
}

}  // namespace

std::string csvHeader() {
  std::string header;
  const char* separator = "";
  for (const RecordField& field : recordFields()) {
    header += separator;
    header += field.key;
    separator = ",";
  }
  return header;
}

std::string csvRow(const PcRecord& r) {
  std::string row;
  const char* separator = "";
  for (const RecordField& field : recordFields()) {
    row += separator + csvField(fieldText(field.value(r)));
    separator = ",";
  }
  return row;
}

std::string jsonLine(const PcRecord& r) {
  RecordJson json = RecordJson::object();
  for (const RecordField& field : recordFields()) json[field.key] = field.value(r);
  return json.dump(-1, ' ', false, RecordJson::error_handler_t::replace);
}

std::optional<std::string> recordedPcOfCsv(std::string_view line) {
  std::string pc;
  std::size_t i = 0;
  if (!line.empty() && line[0] == '"') {
    for (i = 1; i < line.size(); ++i) {
      if (line[i] != '"') {
        pc += line[i];
      } else if (i + 1 < line.size() && line[i + 1] == '"') {
        pc += '"';
        ++i;
      } else {
        break;
      }
    }
    if (i >= line.size()) return std::nullopt;  // the closing quote is missing
    ++i;
  } else {
    i = std::min(line.find(','), line.size());
    pc = std::string(line.substr(0, i));
  }
  // A whole row has every field; the header starts with the first one's name.
  const auto commas = static_cast<std::size_t>(std::count(line.begin() + i, line.end(), ','));
  if (commas < recordFields().size() - 1 || line.substr(0, i) == PcKey) return std::nullopt;
  return pc;
}

std::optional<std::string> recordedPcOfJson(std::string_view line) {
  const RecordJson json = RecordJson::parse(line, nullptr, false);
  if (json.is_discarded() || !json.is_object()) return std::nullopt;
  const auto pc = json.find(PcKey);
  if (pc == json.end() || !pc->is_string()) return std::nullopt;
  return pc->get<std::string>();
}

}  // namespace cairn
