#include "fleet/record_fields.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>

#include "fleet/reasons.h"
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

// ISO 8601 in UTC with milliseconds, as 2026-12-07T08:15:02.123Z.
std::string utcText(std::chrono::sys_time<std::chrono::milliseconds> time) {
  using namespace std::chrono;
  const auto day = floor<days>(time);
  const year_month_day date(day);
  const hh_mm_ss clock(time - day);
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", int(date.year()),
                unsigned(date.month()), unsigned(date.day()), int(clock.hours().count()),
                int(clock.minutes().count()), int(clock.seconds().count()),
                int(clock.subseconds().count()));
  return text;
}

// The inverse of utcText; nothing for any other text.
std::optional<std::chrono::sys_time<std::chrono::milliseconds>> utcTime(const std::string& text) {
  using namespace std::chrono;
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, ms = 0;
  char zone = 0;
  int used = 0;
  if (text.size() != 24 ||
      std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d.%3d%c%n", &y, &mo, &d, &h, &mi, &s, &ms,
                  &zone, &used) != 8 ||
      used != 24 || zone != 'Z' || h > 23 || mi > 59 || s > 60)
    return std::nullopt;
  const year_month_day date{year(y), month(static_cast<unsigned>(mo)),
                            day(static_cast<unsigned>(d))};
  if (!date.ok()) return std::nullopt;
  return sys_days(date) + hours(h) + minutes(mi) + seconds(s) + milliseconds(ms);
}

bool takeCount(const Json& value, auto& field) {
  if (!value.is_number_integer() || value.get<long long>() < 0) return false;
  field = value.get<std::remove_reference_t<decltype(field)>>();
  return true;
}

// The status means something only where a step failed: a check stopped at its deadline, or one
// that crashed, names the step it was in, which has none.
bool failed(const PcRecord& r) {
  return r.check.step != Step::None && r.reason != ReasonStoppedAtDeadline &&
         r.reason != ReasonCrashed;
}

constexpr RecordField Fields[] = {
    {"pc", "pc", [](const PcRecord& r) { return Json(r.pc); }, nullptr,
     [](PcRecord& r, const Json& v) { return takeText(v, r.pc) && !r.pc.empty(); }},
    {"line", "line", [](const PcRecord& r) { return Json(r.line); }, nullptr,
     [](PcRecord& r, const Json& v) { return takeCount(v, r.line); }},
    {"address", "address", [](const PcRecord& r) { return Json(r.check.addressText); },
     [](PcRecord& r, const Json& v) { return takeText(v, r.check.addressText); }},
    {"exit_code", "exit code", [](const PcRecord& r) { return Json(r.exitCode); },
     [](PcRecord& r, const Json& v) {
       if (!v.is_number_integer()) return false;
       r.exitCode = v.get<int>();
       return true;
     }},
    {"reason", "reason", [](const PcRecord& r) { return Json(r.reason); }, nullptr,
     [](PcRecord& r, const Json& v) { return takeText(v, r.reason) && !r.reason.empty(); }},
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
     nullptr,
     // Made from the status, so only its type is checked.
     [](PcRecord&, const Json& v) { return v.is_string(); }},
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
    {"ms", "ms", [](const PcRecord& r) { return Json(r.ms); }, nullptr,
     [](PcRecord& r, const Json& v) { return takeCount(v, r.ms); }},
    {"started", "started (UTC)", [](const PcRecord& r) { return Json(utcText(r.started)); },
     nullptr,
     [](PcRecord& r, const Json& v) {
       const auto time = v.is_string() ? utcTime(v.get<std::string>()) : std::nullopt;
       if (time) r.started = *time;
       return time.has_value();
     }},
    // Fields added later go last, so that the CSV columns before them keep their places.
    {"offers", "logon screen offers",
     [](const PcRecord& r) { return optionalText(r.check.offers); },
     [](PcRecord& r, const Json& v) { return takeOptionalText(v, r.check.offers); }},
    {"domain", "target domain", [](const PcRecord& r) { return Json(r.domain); }, nullptr,
     [](PcRecord& r, const Json& v) { return v.is_null() || takeText(v, r.domain); }},
    {"registry_service_before", "RemoteRegistry before",
     [](const PcRecord& r) { return optionalText(r.registryServiceBefore); },
     [](PcRecord& r, const Json& v) { return takeOptionalText(v, r.registryServiceBefore); }},
    {"registry_service_after", "RemoteRegistry after",
     [](const PcRecord& r) { return optionalText(r.registryServiceAfter); },
     [](PcRecord& r, const Json& v) { return takeOptionalText(v, r.registryServiceAfter); }},
};

}  // namespace

std::span<const RecordField> recordFields() {
  return Fields;
}

std::optional<PcRecord> recordOfJson(const RecordJson& json, std::string& error) {
  if (!json.is_object()) {
    error = "not a JSON object";
    return std::nullopt;
  }
  for (const auto& item : json.items()) {
    const auto known = std::find_if(Fields, std::end(Fields), [&](const RecordField& field) {
      return item.key() == field.key;
    });
    if (known == std::end(Fields)) {
      error = "unknown field \"" + item.key() + "\"";
      return std::nullopt;
    }
  }
  PcRecord record;
  for (const RecordField& field : Fields) {
    const auto found = json.find(field.key);
    const Json& value = found == json.end() ? Json(nullptr) : *found;
    const auto take = field.fromWorker ? field.fromWorker : field.fromFile;
    if (!take(record, value)) {
      error = std::string("field \"") + field.key + "\" " +
              (found == json.end() ? "missing" : "has a value no record holds");
      return std::nullopt;
    }
  }
  return record;
}

std::string fieldText(const RecordJson& value) {
  if (value.is_null()) return {};
  if (value.is_string()) return value.get<std::string>();
  return value.dump();
}

}  // namespace cairn
