#include "fleet/check_job.h"

#include "check/check_run.h"
#include "check/exit_codes.h"
#include "fleet/record_fields.h"
#include "fleet/step_reports.h"
#include "platform/status.h"
#include "platform/workers.h"

namespace cairn {
namespace {

using Json = RecordJson;

}  // namespace

std::string encodeJob(const FleetOptions& options, const std::string& hostValue) {
  return Json{{"host", hostValue},      {"domain", options.domain},
              {"ping", options.ping},   {"set", options.setDefault},
              {"audit", options.audit}, {"ignore", options.ignoreName}}
      .dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::string runCheckJob(const std::string& job, Platform& platform,
                        const WorkerProgress& progress) {
  const Json in = Json::parse(job);
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
  record.exitCode = runCheck(options, printer, reports.platform(), record.check);
  // A failure while this process cannot get a socket or a descriptor may be this machine's own
  // (a resolver that could not open its files reports the name unknown): it is recorded as
  // such, and the step it ended in is kept.
  if (record.exitCode != ExitSuccess && record.check.status != StatusNoSystemResources &&
      localResourcesShort()) {
    record.check.failed(record.check.step, StatusNoSystemResources);
    record.exitCode = ExitNoAccess;
  }
  // The fields the check filled in, under the keys of the record files. Names and values travel
  // as UTF-8, the narrow code page of POSIX systems; a byte sequence that is not UTF-8 arrives
  // as U+FFFD.
  Json out = Json::object();
  for (const RecordField& field : recordFields()) {
    if (field.fromWorker) out[field.key] = field.value(record);
  }
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
  return record;
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
