// The step of a check that failed: the platform call whose failure ended it, each named once in
// the table below. The names are what the records show, and for the reads and writes of the
// Winlogon values they name the value too. A check that was stopped at its deadline, or that
// crashed, is recorded with the step it was in; the read of the logon-domain policy is such a
// step only, since its failure ends no check. Starting RemoteRegistry and putting it back adds
// two steps that are no call: the journal that refused a change, and the reading after a restore
// that found the service not as it was.
#pragma once

#include <optional>
#include <string_view>

// X(enumerator, name in the records)
#define CAIRN_STEP_TABLE(X)                                            \
  X(None, "")                                                          \
  X(HostByName, "gethostbyname")                                       \
  X(HostByAddress, "gethostbyaddr")                                    \
  X(IcmpSendEcho, "IcmpSendEcho")                                      \
  X(NetWkstaGetInfo, "NetWkstaGetInfo")                                \
  X(NetServerGetInfo, "NetServerGetInfo")                              \
  X(RegConnectRegistry, "RegConnectRegistry")                          \
  X(RegOpenKeyEx, "RegOpenKeyEx")                                      \
  X(QueryDefaultDomainName, "RegQueryValueEx DefaultDomainName")       \
  X(QueryAltDefaultDomainName, "RegQueryValueEx AltDefaultDomainName") \
  X(SetDefaultDomainName, "RegSetValueEx DefaultDomainName")           \
  X(SetAltDefaultDomainName, "RegSetValueEx AltDefaultDomainName")     \
  X(QueryDefaultLogonDomain, "RegQueryValueEx DefaultLogonDomain")     \
  X(OpenSCManagerW, "OpenSCManagerW")                                  \
  X(OpenServiceW, "OpenServiceW")                                      \
  X(QueryServiceStatusEx, "QueryServiceStatusEx")                      \
  X(QueryServiceConfigW, "QueryServiceConfigW")                        \
  X(ChangeServiceConfigW, "ChangeServiceConfigW")                      \
  X(StartServiceW, "StartServiceW")                                    \
  X(ControlService, "ControlService")                                  \
  X(ServiceJournal, "journal")                                         \
  X(ServiceVerify, "verify")                                           \
  X(DeleteDefaultDomainName, "RegDeleteValue DefaultDomainName")       \
  X(DeleteAltDefaultDomainName, "RegDeleteValue AltDefaultDomainName") \
  /* the fleet could not start a worker for the PC */                  \
  X(StartWorker, "fork")

namespace cairn {

enum class Step {
#define CAIRN_STEP_ENUMERATOR(name, text) name,
  CAIRN_STEP_TABLE(CAIRN_STEP_ENUMERATOR)
#undef CAIRN_STEP_ENUMERATOR
};

// The step's name as the records show it; empty for None.
std::string_view stepName(Step step);

// The step a record names, or nothing for a name no step has.
std::optional<Step> stepNamed(std::string_view name);

}  // namespace cairn
