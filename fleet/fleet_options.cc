#include "fleet/fleet_options.h"

#include <CLI/CLI.hpp>
#include <iostream>

#include "check/value_rules.h"
#include "core/version.h"
#include "reach/target.h"

namespace cairn {
namespace {

constexpr const char* Description =
    "Checks many PCs at once, each as `cairnmark /M PC /T DOMAIN` would, and keeps a record of "
    "each: its exit code, the reason in one word, the call that failed and its status.";

// The domain as the single check would use it; an error names the option.
std::string targetDomainOf(const std::string& value) {
  const auto domain = normalizeTargetDomain(normalizeSwitchValue(value));
  if (!domain || domain->empty())
    throw CLI::ValidationError("--domain", "must be a NetBIOS domain name of 1 to 15 characters");
  return *domain;
}

}  // namespace

std::string defaultJournalPath(const FleetOptions& options) {
  for (const std::string* records : {&options.jsonlPath, &options.csvPath, &options.htmlPath}) {
    if (!records->empty()) return *records + ".journal";
  }
  return "cairnmark-fleet.journal";
}

FleetCommand readFleetCommand(int argc, const char* const* argv) {
  FleetOptions options;
  std::string domainValue;
  CLI::App app(Description, "cairnmark-fleet");
  // GNU-style options on every system: "/path/list.txt" is a file, never a switch.
  app.allow_windows_style_options(false);
  app.set_version_flag("--version", std::string("cairnmark-fleet ") + CairnmarkVersion);
  auto* domain = app.add_option("--domain", domainValue, "the target domain (as /T)");
  app.add_flag("--ping", options.ping, "ping each PC first (as /P)");
  auto* setDefault = app.add_flag("--set-default", options.setDefault,
                                  "make the target domain the logon screen's default (as /S)");
  auto* startRegistry =
      app.add_flag("--start-registry", options.startRegistry,
                   "start a stopped or disabled RemoteRegistry for the check, then put it back");
  app.add_flag("--audit", options.audit,
               "read each PC's Winlogon values and logon-domain policy, and write nothing")
      ->excludes(setDefault)
      ->excludes(startRegistry);
  app.add_option("--journal", options.journalPath,
                 "record each change --start-registry makes in FILE first (default: beside the "
                 "record files)")
      ->needs(startRegistry);
  auto* restoreServices =
      app.add_option("--restore-services", options.restoreServicesPath,
                     "put back every PC a journal still lists as changed, and run nothing else");
  app.add_flag("--ignore-name", options.ignoreName,
               "a different computer name does not fail a PC (as /I)");
  app.add_option("--jobs", options.jobs, "PCs checked at once")
      ->check(CLI::Range(1, MaxJobs))
      ->capture_default_str();
  app.add_option("--deadline", options.deadlineSeconds,
                 "seconds after which a PC's check is stopped")
      ->check(CLI::Range(0.001, 86400.0))
      ->capture_default_str();
  app.add_option("--csv", options.csvPath, "append a CSV row per PC to FILE");
  app.add_option("--jsonl", options.jsonlPath, "append a JSON object per PC to FILE");
  app.add_option("--html", options.htmlPath, "write a page with a chart and every record");
  app.add_flag("--resume", options.resume,
               "skip the PCs already recorded in the --csv or --jsonl file, and append");
  app.add_flag("--quiet", options.quiet, "print only the summary");
  auto* pcOption =
      app.add_option("--pc", options.pcs, "a PC to check (repeatable)")->allow_extra_args(false);
  app.add_option("LIST_FILE", options.listPath,
                 "one PC per line, as /M takes it; - reads standard input")
      ->excludes(pcOption);
  try {
    app.parse(argc, argv);
    if (!options.restoreServicesPath.empty()) {
      // Only the journal says which PCs to put back, and how.
      for (const CLI::Option* other : app.get_options()) {
        if (other != restoreServices && other->count() > 0)
          throw CLI::ExcludesError("--restore-services", other->get_name());
      }
      return {options, FleetExitAllPassed};
    }
    if (domain->count() == 0) throw CLI::RequiredError("--domain");
    options.domain = targetDomainOf(domainValue);
    if (options.listPath.empty() && options.pcs.empty())
      throw CLI::RequiredError("a LIST_FILE, - or --pc NAME");
    if (options.startRegistry && options.journalPath.empty())
      options.journalPath = defaultJournalPath(options);
    if (options.resume && options.csvPath.empty() && options.jsonlPath.empty())
      throw CLI::ValidationError("--resume", "needs a --csv or --jsonl file to resume");
  } catch (const CLI::Error& error) {
    const int code = app.exit(error);
    return {std::nullopt, code == 0 ? FleetExitAllPassed : FleetExitCannotRun};
  }
  return {options, FleetExitAllPassed};
}

}  // namespace cairn
