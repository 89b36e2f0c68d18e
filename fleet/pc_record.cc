#include "fleet/pc_record.h"

#include <algorithm>
#include <array>
#include <nlohmann/json.hpp>

#include "platform/status.h"

namespace cairn {
namespace {

using Json = nlohmann::ordered_json;

constexpr std::array<const char*, RecordFieldCount> Fields = {"pc",
                                                              "line",
                                                              "address",
                                                              "exit_code",
                                                              "reason",
                                                              "step",
                                                              "status",
                                                              "status_name",
                                                              "default_domain_before",
                                                              "alt_default_domain_before",
                                                              "default_domain_after",
                                                              "alt_default_domain_after",
                                                              "policy_default_domain",
                                                              "ms"};

std::string csvField(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + '"';
}

Json optionalText(const std::optional<std::string>& value) {
  return value ? Json(*value) : Json(nullptr);
}

}  // namespace

std::string csvHeader() {
  std::string header;
  for (const char* field : Fields) header += std::string(header.empty() ? "" : ",") + field;
  return header;
}

RecordTexts recordTexts(const PcRecord& r) {
  const CheckRecord& c = r.check;
  return {r.pc,
          std::to_string(r.line),
          c.addressText,
          std::to_string(r.exitCode),
          r.reason,
          c.step,
          c.step.empty() ? std::string() : std::to_string(c.status),
          c.step.empty() ? std::string() : std::string(statusName(c.status)),
          c.defaultDomainBefore.value_or(""),
          c.altDefaultDomainBefore.value_or(""),
          c.defaultDomainAfter.value_or(""),
          c.altDefaultDomainAfter.value_or(""),
          c.policyDefaultDomain.value_or(""),
          std::to_string(r.ms)};
}

std::string csvRow(const PcRecord& r) {
  const RecordTexts values = recordTexts(r);
  std::string row;
  for (std::size_t i = 0; i < values.size(); ++i) row += (i ? "," : "") + csvField(values[i]);
  return row;
}

std::string jsonLine(const PcRecord& r) {
  const CheckRecord& c = r.check;
  Json json;
  json["pc"] = r.pc;
  json["line"] = r.line;
  json["address"] = c.addressText;
  json["exit_code"] = r.exitCode;
  json["reason"] = r.reason;
  json["step"] = c.step;
  json["status"] = c.step.empty() ? Json(nullptr) : Json(c.status);
  json["status_name"] = c.step.empty() ? std::string() : std::string(statusName(c.status));
  json["default_domain_before"] = optionalText(c.defaultDomainBefore);
  json["alt_default_domain_before"] = optionalText(c.altDefaultDomainBefore);
  json["default_domain_after"] = optionalText(c.defaultDomainAfter);
  json["alt_default_domain_after"] = optionalText(c.altDefaultDomainAfter);
  json["policy_default_domain"] = optionalText(c.policyDefaultDomain);
  json["ms"] = r.ms;
  return json.dump(-1, ' ', false, Json::error_handler_t::replace);
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
  // A whole row has every field; the header names the first one "pc".
  const auto commas = static_cast<std::size_t>(std::count(line.begin() + i, line.end(), ','));
  if (commas < Fields.size() - 1 || line.substr(0, 3) == "pc,") return std::nullopt;
  return pc;
}

std::optional<std::string> recordedPcOfJson(std::string_view line) {
  const Json json = Json::parse(line, nullptr, false);
  if (json.is_discarded() || !json.is_object() || !json.contains("pc") || !json["pc"].is_string())
    return std::nullopt;
  return json["pc"].get<std::string>();
}

}  // namespace cairn
