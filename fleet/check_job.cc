#include "fleet/check_job.h"

#include "check/check_run.h"
#include "check/exit_codes.h"
#include "fleet/record_fields.h"
#include "fleet/service_phase.h"
#include "fleet/step_reports.h"
#include "platform/status.h"
#include "platform/workers.h"

namespace cairn {
namespace {

using Json = RecordJson;

// The worker's reason about RemoteRegistry travels beside the record's fields, since the fleet
// command makes the reason field itself.
constexpr const char* ServiceReasonKey = "service_reason";

std::string runRestoreJob(const Json& in, ServiceControl& control, Clock& clock) {
  const Json& restore = in.at("restore");
  JournalEntry entry{restore.at("entry").get<std::string>(),
                     restore.at("pc").get<std::string>(),
                     restore.at("server").get<std::string>(),
                     {restore.at("enabled").get<bool>(), restore.at("started").get<bool>()}};
  const RegistryServiceResult result =
      restoreEntry(entry, in.at("journal").get<std::string>(), control, clock,
                   serviceBoundsWithin(in.at("deadline").get<double>()));
  return Json{{"restored", result.reason == RegistryServiceReason::None},
              {"after", result.after.empty() ? Json(nullptr) : Json(result.after)},
              {"step", std::string(stepName(result.step))},
              {"status", static_cast<std::uint32_t>(result.status)}}
      .dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace

std::string encodeJob(const FleetOptions& options, const std::string& hostValue,
                      const JournalEntry& entry) {
  Json job{{"host", hostValue},         {"domain", options.domain}, {"ping", options.ping},
           {"set", options.setDefault}, {"audit", options.audit},   {"ignore", options.ignoreName}};
  if (options.startRegistry) {
    job["journal"] = options.journalPath;
    job["entry"] = entry.entry;
    job["pc"] = entry.pc;
    job["deadline"] = options.deadlineSeconds;
  }
  return job.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::string encodeRestoreJob(const FleetOptions& options, const JournalEntry& entry) {
  return Json{{"restore",
               {{"entry", entry.entry},
                {"pc", entry.pc},
                {"server", entry.server},
                {"enabled", entry.changes.enabled},
                {"started", entry.changes.started}}},
              {"journal", options.journalPath},
              {"deadline", options.deadlineSeconds}}
      .dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::string runCheckJob(const std::string& job, Platform& platform, const WorkerProgress& progress,
                        Clock& clock) {
  const Json in = Json::parse(job);
  if (in.contains("restore")) return runRestoreJob(in, platform.serviceControl, clock);
  RunOptions options;
  options.hostText = in.at("host").get<std::string>();
  options.targetDomain = in.at("domain").get<std::string>();
  options.pingRequested = in.at("ping").get<bool>();
  options.setDefaultDomain = in.at("set").get<bool>();
  options.ignoreNameMismatch = in.at("ignore").get<bool>();
  options.auditOnly = in.at("audit").get<bool>();
  options.readLogonPolicy = true;
  // A check in a worker never writes to the terminal or files the fleet command shares.
  ReportPrinter printer(platform.console, PrinterOutput::Discarded);
  PcRecord record;
  StepReports reports(platform, record.check, progress);
  const auto check = [&](CheckRecord& checked) {
    return runCheck(options, printer, reports.platform(), checked);
  };
  record.exitCode = check(record.check);
  ServiceJob service;
  if (in.contains("journal")) {
    service.startRegistry = true;
    service.journalPath = in.at("journal").get<std::string>();
    service.entry.entry = in.at("entry").get<std::string>();
    service.entry.pc = in.at("pc").get<std::string>();
    service.bounds = serviceBoundsWithin(in.at("deadline").get<double>());
  }
  runServicePhase(service, platform.serviceControl, clock, check, record);
  // A failure while this process cannot get a socket or a descriptor may be this machine's own
  // (a resolver that could not open its files reports the name unknown): it is recorded as
  // such, and the step it ended in is kept.
  if (record.exitCode != ExitSuccess && record.check.status != StatusNoSystemResources &&
      localResourcesShort()) {
    record.check.failed(record.check.step, StatusNoSystemResources);
    record.exitCode = ExitNoAccess;
    record.serviceReason.clear();
  }
  // The fields the check filled in, under the keys of the record files. Names and values travel
  // as UTF-8, the narrow code page of POSIX systems; a byte sequence that is not UTF-8 arrives
  // as U+FFFD.
  Json out = Json::object();
  for (const RecordField& field : recordFields()) {
    if (field.fromWorker) out[field.key] = field.value(record);
  }
  if (!record.serviceReason.empty()) out[ServiceReasonKey] = record.serviceReason;
  return out.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::optional<PcRecord> decodeCheckResult(const std::string& text) {
  const Json json = Json::parse(text, nullptr, false);
  if (json.is_discarded() || !json.is_object()) return std::nullopt;
  PcRecord record;
  for (const RecordField& field : recordFields()) {
    if (!field.fromWorker) continue;
    const auto value = json.find(field.key);
    if (value == json.end() || !field.fromWorker(record, *value)) return std::nullopt;
  }
  if (const auto reason = json.find(ServiceReasonKey); reason != json.end()) {
    if (!reason->is_string()) return std::nullopt;
    record.serviceReason = reason->get<std::string>();
  }
  return record;
}

std::optional<RestoreReport> decodeRestoreResult(const std::string& text) {
  const Json json = Json::parse(text, nullptr, false);
  if (json.is_discarded() || !json.is_object()) return std::nullopt;
  const auto restored = json.find("restored");
  const auto after = json.find("after");
  const auto step = json.find("step");
  const auto status = json.find("status");
  if (restored == json.end() || !restored->is_boolean() || after == json.end() ||
      !(after->is_null() || after->is_string()) || step == json.end() || !step->is_string() ||
      status == json.end() || !status->is_number_unsigned())
    return std::nullopt;
  const std::optional<Step> named = stepNamed(step->get<std::string>());
  if (!named) return std::nullopt;
  RestoreReport report;
  report.restored = restored->get<bool>();
  if (after->is_string()) report.after = after->get<std::string>();
  report.step = *named;
  report.status = static_cast<Status>(status->get<std::uint32_t>());
  return report;
}

void takeProgress(const std::string& text, PcRecord& record) {
  const Json json = Json::parse(text, nullptr, false);
  if (json.is_discarded() || !json.is_object()) return;
  for (const RecordField& field : recordFields()) {
    const auto value = json.find(field.key);
    if (field.fromWorker && value != json.end()) field.fromWorker(record, *value);
  }
}

}  // namespace cairn
