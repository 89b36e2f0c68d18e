#include "fleet/check_job.h"

#include <cstdlib>
#include <nlohmann/json.hpp>

#include "front/check_run.h"
#include "front/exit_codes.h"
#include "platform/status.h"
#include "platform/workers.h"

namespace cairn {
namespace {

using Json = nlohmann::json;

// The child's console: conversions as the system does them, but no line and no title, so a
// check in a worker never writes to the terminal or files the fleet command shares.
class SilentConsole final : public Console {
 public:
  explicit SilentConsole(Console& system) : system_(system) {}
  std::string commandLine() override { return {}; }
  void pause(unsigned) override {}
  void writeOutput(std::string_view) override {}
  void setTitle(std::string_view) override {}
  std::u16string toWide(std::string_view narrow) override { return system_.toWide(narrow); }
  std::string toNarrow(const char16_t* wide) override { return system_.toNarrow(wide); }
  [[noreturn]] void exitProcess(int code) override { std::_Exit(code); }

 private:
  Console& system_;
};

Json optionalText(const std::optional<std::string>& value) {
  return value ? Json(*value) : Json(nullptr);
}

std::optional<std::string> textOrNothing(const Json& json, const char* key) {
  if (!json.contains(key) || !json[key].is_string()) return std::nullopt;
  return json[key].get<std::string>();
}

}  // namespace

std::string encodeJob(const FleetOptions& options, const std::string& hostValue) {
  return Json{{"host", hostValue},
              {"domain", options.domain},
              {"ping", options.ping},
              {"set", options.setDefault},
              {"ignore", options.ignoreName}}
      .dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::string runCheckJob(const std::string& job, Platform& platform) {
  const Json in = Json::parse(job);
  RunOptions options;
  options.hostText = in.at("host").get<std::string>();
  options.targetDomain = in.at("domain").get<std::string>();
  options.pingRequested = in.at("ping").get<bool>();
  options.setDefaultDomain = in.at("set").get<bool>();
  options.ignoreNameMismatch = in.at("ignore").get<bool>();
  options.readLogonPolicy = true;
  SilentConsole console(platform.console);
  Platform silent{console, platform.sockets, platform.icmp, platform.netManagement,
                  platform.registry};
  CheckRecord record;
  int exitCode = runCheck(options, silent, record);
  // A failure while this process cannot get a socket or a descriptor may be this machine's own
  // (a resolver that could not open its files reports the name unknown): it is recorded as
  // such, and the step it ended in is kept.
  if (exitCode != 0 && record.status != StatusNoSystemResources && localResourcesShort()) {
    record.failed(record.step, StatusNoSystemResources);
    exitCode = ExitNoAccess;
  }
  // Names and values travel as UTF-8, the narrow code page of POSIX systems; a byte sequence
  // that is not UTF-8 arrives as U+FFFD.
  return Json{{"exit", exitCode},
              {"address", record.addressText},
              {"step", record.step},
              {"status", record.status},
              {"ddBefore", optionalText(record.defaultDomainBefore)},
              {"altBefore", optionalText(record.altDefaultDomainBefore)},
              {"ddAfter", optionalText(record.defaultDomainAfter)},
              {"altAfter", optionalText(record.altDefaultDomainAfter)},
              {"policy", optionalText(record.policyDefaultDomain)}}
      .dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::optional<CheckResult> decodeCheckResult(const std::string& text) {
  const Json json = Json::parse(text, nullptr, false);
  if (json.is_discarded() || !json.is_object() || !json.contains("exit") ||
      !json["exit"].is_number_integer())
    return std::nullopt;
  CheckResult result;
  result.exitCode = json["exit"].get<int>();
  result.check.addressText = textOrNothing(json, "address").value_or("");
  result.check.step = textOrNothing(json, "step").value_or("");
  if (json.contains("status") && json["status"].is_number_unsigned())
    result.check.status = json["status"].get<std::uint32_t>();
  result.check.defaultDomainBefore = textOrNothing(json, "ddBefore");
  result.check.altDefaultDomainBefore = textOrNothing(json, "altBefore");
  result.check.defaultDomainAfter = textOrNothing(json, "ddAfter");
  result.check.altDefaultDomainAfter = textOrNothing(json, "altAfter");
  result.check.policyDefaultDomain = textOrNothing(json, "policy");
  return result;
}

}  // namespace cairn
