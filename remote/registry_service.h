// The RemoteRegistry service of a PC whose registry pipe is unavailable: why (a read-only query),
// and on request started for the check and afterwards put back exactly as it was found.
//
// A start and its restore are two calls, each on handles of its own, so that the restore can run
// on a fresh connection, in another process, or from a journal after a crash: all it needs is the
// RegistryServiceChanges the start reported.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "core/step.h"
#include "platform/service_control.h"
#include "platform/status.h"

namespace cairn {

inline constexpr const char* RegistryServiceName = "RemoteRegistry";

// The waits of a start and a restore: every pause goes through here.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual std::uint64_t nowMs() = 0;  // monotonic
  virtual void sleepMs(std::uint32_t milliseconds) = 0;
};

// The process's steady clock and a real sleep.
Clock& steadyClock();

// How long a start may take in all, and a stop with the retries of a stop the service cannot
// accept yet. A service's own wait hint paces the polls inside these bounds.
struct ServiceBounds {
  std::uint32_t startMs = 20000;
  std::uint32_t stopMs = 20000;
};

enum class RegistryServiceReason {
  None,
  Disabled,       // read-only query: the service is disabled
  Stopped,        // read-only query: the service is not running
  ControlDenied,  // the account may not control the service
  StartFailed,    // the service could not be made to run
  RestoreFailed,  // the service could not be put back as it was found
};

// "registry-service-disabled", ..., empty for None.
std::string_view reasonName(RegistryServiceReason reason);

// A service's state and start type as a record shows them: "stopped/disabled", "running/manual".
std::string registryServiceText(std::uint32_t state, std::uint32_t startType);

// What a start changed and its restore must undo. A change is counted from the moment it was
// asked for, because an answer lost on the way leaves the PC changed all the same; undoing a
// change that did not happen puts nothing on the PC that was not there.
struct RegistryServiceChanges {
  bool enabled = false;  // the start type went from Disabled to Manual
  bool started = false;  // this program started the service
  bool any() const { return enabled || started; }
};

// A change about to be made, for a journal to record the restore it will need.
enum class RegistryServiceChange { Enable, Start };

// Called before each change; false prevents it (the start then ends as StartFailed with the step
// ServiceJournal). An empty hook records nothing and prevents nothing.
using BeforeChange = std::function<bool(RegistryServiceChange)>;

struct RegistryServiceResult {
  std::string before;  // "stopped/disabled" as found, empty when never read
  std::string after;   // as left, empty when not read again
  RegistryServiceChanges changes;
  RegistryServiceReason reason = RegistryServiceReason::None;
  Step step = Step::None;  // the call that failed (Step::StartServiceW)
  Status status = StatusSuccess;
};

// Reads the service's state with query rights only. The reason is Disabled or Stopped when that
// explains an unavailable pipe, None otherwise (running, or the query itself failed).
RegistryServiceResult queryRegistryService(ServiceControl& control, const std::string& serverPath);

// Makes the service run: a Disabled service is set to Manual, a stopped one is started, and the
// start is followed through START_PENDING. Whatever the outcome, result.changes must be handed to
// restoreRegistryService.
RegistryServiceResult startRegistryService(ServiceControl& control, const std::string& serverPath,
                                           Clock& clock, const BeforeChange& beforeChange,
                                           const ServiceBounds& bounds = {});

// Undoes the changes: stops the service if this program started it, sets it back to Disabled if
// this program enabled it (also when the stop failed), and reads it again to verify. With no
// changes it only reads the service's state.
RegistryServiceResult restoreRegistryService(ServiceControl& control, const std::string& serverPath,
                                             const RegistryServiceChanges& changes, Clock& clock,
                                             const ServiceBounds& bounds = {});

}  // namespace cairn
