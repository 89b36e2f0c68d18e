#include "fleet/record_fields.h"

#include <optional>

#include "platform/status.h"

namespace cairn {
namespace {

using Json = RecordJson;

Json optionalText(const std::optional<std::string>& value) {
  return value ? Json(*value) : Json(nullptr);
}

bool takeText(const Json& value, std::string& field) {
  if (!value.is_string()) return false;
  field = value.get<std::string>();
  return true;
}

bool takeOptionalText(const Json& value, std::optional<std::string>& field) {
  if (value.is_null()) {
    field.reset();
    return true;
  }
  if (!value.is_string()) return false;
  field = value.get<std::string>();
  return true;
}

// The status means something only where a step failed.
bool failed(const PcRecord& r) {
  return r.check.step != Step::None;
}

constexpr RecordField Fields[] = {
    {"pc", "pc", [](const PcRecord& r) { return Json(r.pc); }, nullptr},
    {"line", "line", [](const PcRecord& r) { return Json(r.line); }, nullptr},
    {"address", "address", [](const PcRecord& r) { return Json(r.check.addressText); },
     [](PcRecord& r, const Json& v) { return takeText(v, r.check.addressText); }},
    {"exit_code", "exit code", [](const PcRecord& r) { return Json(r.exitCode); },
     [](PcRecord& r, const Json& v) {
       if (!v.is_number_integer()) return false;
       r.exitCode = v.get<int>();
       return true;
     }},
    {"reason", "reason", [](const PcRecord& r) { return Json(r.reason); }, nullptr},
    {"step", "step", [](const PcRecord& r) { return Json(std::string(stepName(r.check.step))); },
     [](PcRecord& r, const Json& v) {
       const std::optional<Step> step =
           v.is_string() ? stepNamed(v.get<std::string>()) : std::nullopt;
       if (step) r.check.step = *step;
       return step.has_value();
     }},
    {"status", "status",
     [](const PcRecord& r) {
       return failed(r) ? Json(static_cast<std::uint32_t>(r.check.status)) : Json(nullptr);
     },
     [](PcRecord& r, const Json& v) {
       if (v.is_null()) return true;
       if (!v.is_number_unsigned()) return false;
       r.check.status = static_cast<Status>(v.get<std::uint32_t>());
       return true;
     }},
    {"status_name", "status name",
     [](const PcRecord& r) {
       return Json(failed(r) ? std::string(statusName(r.check.status)) : std::string());
     },
     nullptr},
    {"default_domain_before", "DefaultDomainName before",
     [](const PcRecord& r) { return optionalText(r.check.defaultDomainBefore); },
     [](PcRecord& r, const Json& v) { return takeOptionalText(v, r.check.defaultDomainBefore); }},
    {"alt_default_domain_before", "AltDefaultDomainName before",
     [](const PcRecord& r) { return optionalText(r.check.altDefaultDomainBefore); },
     [](PcRecord& r, const Json& v) {
       return takeOptionalText(v, r.check.altDefaultDomainBefore);
     }},
    {"default_domain_after", "DefaultDomainName after",
     [](const PcRecord& r) { return optionalText(r.check.defaultDomainAfter); },
     [](PcRecord& r, const Json& v) { return takeOptionalText(v, r.check.defaultDomainAfter); }},
    {"alt_default_domain_after", "AltDefaultDomainName after",
     [](const PcRecord& r) { return optionalText(r.check.altDefaultDomainAfter); },
     [](PcRecord& r, const Json& v) { return takeOptionalText(v, r.check.altDefaultDomainAfter); }},
    {"policy_default_domain", "logon-domain policy",
     [](const PcRecord& r) { return optionalText(r.check.policyDefaultDomain); },
     [](PcRecord& r, const Json& v) { return takeOptionalText(v, r.check.policyDefaultDomain); }},
    {"ms", "ms", [](const PcRecord& r) { return Json(r.ms); }, nullptr},
};

}  // namespace

std::span<const RecordField> recordFields() {
  return Fields;
}

std::string fieldText(const RecordJson& value) {
  if (value.is_null()) return {};
  if (value.is_string()) return value.get<std::string>();
  return value.dump();
}

}  // namespace cairn
