#include "remote/registry_service.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "platform/status.h"

namespace cairn {
namespace {

// QueryServiceConfigW is first asked with room for any ordinary configuration, and once more
// with the size the manager names when that is short. No configuration exceeds 8 KB, so a
// larger demand is taken for a broken answer rather than allocated.
constexpr std::uint32_t ConfigBufferSize = 1024;
constexpr std::uint32_t ConfigBufferLimit = 8192;

// A pending service is polled at a tenth of its wait hint, within one and ten seconds, as
// Microsoft's own service samples do; a stop the service cannot accept yet is retried each second.
constexpr std::uint32_t PollFloorMs = 1000;
constexpr std::uint32_t PollCeilingMs = 10000;
constexpr std::uint32_t BusyRetryMs = 1000;

constexpr std::uint32_t QueryRights = ServiceQueryStatus | ServiceQueryConfig;
// A start asks for the rights of its restore too, so that an account that could start the
// service but never stop it again is refused before anything changes.
constexpr std::uint32_t ControlRights =
    QueryRights | ServiceChangeConfig | ServiceStart | ServiceStop;

class SteadyClock final : public Clock {
 public:
  std::uint64_t nowMs() override {
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
  }
  void sleepMs(std::uint32_t milliseconds) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  }
};

// An answer of the manager that says the change was not made. Any other failure, a broken
// connection above all, may have come after the change took effect.
bool refused(Status status) {
  return status == StatusAccessDenied || status == StatusServiceAlreadyRunning ||
         status == StatusServiceDisabled || status == StatusServiceDoesNotExist;
}

class ServiceHandle {
 public:
  explicit ServiceHandle(ServiceControl& control) : control_(control) {}
  ServiceHandle(const ServiceHandle&) = delete;
  ServiceHandle& operator=(const ServiceHandle&) = delete;
  ~ServiceHandle() {
    if (handle != 0) control_.closeServiceHandle(handle);
  }
  ScHandle handle = 0;

 private:
  ServiceControl& control_;
};

// One conversation with the manager about the service: its handles, the deadline of its waits,
// and the result it fills, where the first failure stands.
class Conversation {
 public:
  Conversation(ServiceControl& control, Clock& clock, RegistryServiceResult& result)
      : control_(control), clock_(clock), result_(result) {}

  // Records the failure unless an earlier one stands, and gives the result as it is now.
  RegistryServiceResult fail(RegistryServiceReason reason, Step step, Status status) {
    if (result_.step == Step::None) {
      result_.reason = reason;
      result_.step = step;
      result_.status = status;
    }
    return result_;
  }

  // Opens the manager and the service; the status of the call that failed, else 0.
  Status open(const std::string& serverPath, std::uint32_t access, Step* step) {
    *step = Step::OpenSCManagerW;
    if (const Status status =
            control_.openSCManager(serverPath, ScManagerConnect, &manager_.handle))
      return status;
    *step = Step::OpenServiceW;
    return control_.openService(manager_.handle, RegistryServiceName, access, &service_.handle);
  }

  ScHandle service() const { return service_.handle; }

  // Reads the state and the start type; the status of the call that failed, else 0.
  Status read(ServiceStatusProcess& status, ServiceConfig& config, Step* step) {
    *step = Step::QueryServiceStatusEx;
    if (const Status failure = control_.queryServiceStatusEx(service(), &status)) return failure;
    *step = Step::QueryServiceConfigW;
    std::uint32_t needed = 0;
    Status failure = control_.queryServiceConfig(service(), ConfigBufferSize, &config, &needed);
    if (failure == StatusInsufficientBuffer && needed > ConfigBufferSize &&
        needed <= ConfigBufferLimit)
      failure = control_.queryServiceConfig(service(), needed, &config, &needed);
    return failure;
  }

  void startClock(std::uint32_t boundMs) { deadline_ = clock_.nowMs() + boundMs; }
  bool timeLeft() { return clock_.nowMs() < deadline_; }

  // Sleeps for the pace given, never past the deadline.
  void pause(std::uint32_t paceMs) {
    const std::uint64_t now = clock_.nowMs();
    if (now < deadline_)
      clock_.sleepMs(static_cast<std::uint32_t>(std::min<std::uint64_t>(paceMs, deadline_ - now)));
  }

  // Polls the state while it is the pending state given, within the deadline. The status of a
  // query that failed, StatusServiceRequestTimeout when the deadline passed, else 0.
  Status waitWhile(std::uint32_t pending, ServiceStatusProcess& status) {
    for (;;) {
      if (const Status failure = control_.queryServiceStatusEx(service(), &status)) return failure;
      if (status.currentState != pending) return StatusSuccess;
      if (!timeLeft()) return StatusServiceRequestTimeout;
      pause(std::clamp(status.waitHint / 10, PollFloorMs, PollCeilingMs));
    }
  }

 private:
  ServiceControl& control_;
  Clock& clock_;
  RegistryServiceResult& result_;
  std::uint64_t deadline_ = 0;
  // Declared first so that it is closed last, after the service opened through it.
  ServiceHandle manager_{control_};
  ServiceHandle service_{control_};
};

RegistryServiceReason startFailure(Status status) {
  return status == StatusAccessDenied ? RegistryServiceReason::ControlDenied
                                      : RegistryServiceReason::StartFailed;
}

}  // namespace

Clock& steadyClock() {
  static SteadyClock clock;
  return clock;
}

std::string_view reasonName(RegistryServiceReason reason) {
  switch (reason) {
    case RegistryServiceReason::None:
      return {};
    case RegistryServiceReason::Disabled:
      return "registry-service-disabled";
    case RegistryServiceReason::Stopped:
      return "registry-service-stopped";
    case RegistryServiceReason::ControlDenied:
      return "service-control-denied";
    case RegistryServiceReason::StartFailed:
      return "service-start-failed";
    case RegistryServiceReason::RestoreFailed:
      return "service-restore-failed";
  }
  return {};
}

std::string registryServiceText(std::uint32_t state, std::uint32_t startType) {
  static const char* const States[] = {"stopped", "start-pending",    "stop-pending",
                                       "running", "continue-pending", "pause-pending",
                                       "paused"};
  static const char* const StartTypes[] = {"boot", "system", "auto", "manual", "disabled"};
  const std::string stateText =
      state >= 1 && state <= 7 ? States[state - 1] : "state-" + std::to_string(state);
  const std::string typeText =
      startType <= 4 ? StartTypes[startType] : "start-" + std::to_string(startType);
  return stateText + "/" + typeText;
}

RegistryServiceResult queryRegistryService(ServiceControl& control, const std::string& serverPath) {
  RegistryServiceResult result;
  Conversation conversation(control, steadyClock(), result);
  Step step = Step::None;
  ServiceStatusProcess status;
  ServiceConfig config;
  Status failure = conversation.open(serverPath, QueryRights, &step);
  if (failure == 0) failure = conversation.read(status, config, &step);
  if (failure != 0) {
    // Without the rights to ask, the pipe's absence stays unexplained.
    result.step = step;
    result.status = failure;
    return result;
  }
  result.before = registryServiceText(status.currentState, config.startType);
  if (status.currentState == ServiceStopped || status.currentState == ServiceStopPending)
    result.reason = config.startType == ServiceDisabled ? RegistryServiceReason::Disabled
                                                        : RegistryServiceReason::Stopped;
  return result;
}

RegistryServiceResult startRegistryService(ServiceControl& control, const std::string& serverPath,
                                           Clock& clock, const BeforeChange& beforeChange,
                                           const ServiceBounds& bounds) {
  RegistryServiceResult result;
  Conversation conversation(control, clock, result);
  conversation.startClock(bounds.startMs);
  Step step = Step::None;
  ServiceStatusProcess status;
  ServiceConfig config;
  Status failure = conversation.open(serverPath, ControlRights, &step);
  if (failure == 0) failure = conversation.read(status, config, &step);
  if (failure != 0) return conversation.fail(startFailure(failure), step, failure);
  result.before = registryServiceText(status.currentState, config.startType);
  std::uint32_t startType = config.startType;

  // A service on its way down is let go first, then started like a stopped one.
  if (status.currentState == ServiceStopPending) {
    if (const Status waited = conversation.waitWhile(ServiceStopPending, status))
      return conversation.fail(RegistryServiceReason::StartFailed, Step::QueryServiceStatusEx,
                               waited);
  }
  if (status.currentState == ServiceStopped) {
    if (startType == ServiceDisabled) {
      if (beforeChange && !beforeChange(RegistryServiceChange::Enable))
        return conversation.fail(RegistryServiceReason::StartFailed, Step::ServiceJournal,
                                 StatusSuccess);
      result.changes.enabled = true;
      if (const Status changed =
              control.changeServiceConfig(conversation.service(), ServiceDemandStart)) {
        result.changes.enabled = !refused(changed);
        return conversation.fail(startFailure(changed), Step::ChangeServiceConfigW, changed);
      }
      startType = ServiceDemandStart;
    }
    if (beforeChange && !beforeChange(RegistryServiceChange::Start))
      return conversation.fail(RegistryServiceReason::StartFailed, Step::ServiceJournal,
                               StatusSuccess);
    result.changes.started = true;
    const Status started = control.startService(conversation.service());
    // ERROR_SERVICE_ALREADY_RUNNING: a trigger start won the race, and the service is not ours
    // to stop.
    if (started != 0) result.changes.started = !refused(started);
    if (started != 0 && started != StatusServiceAlreadyRunning)
      return conversation.fail(startFailure(started), Step::StartServiceW, started);
  }
  if (const Status waited = conversation.waitWhile(ServiceStartPending, status))
    return conversation.fail(RegistryServiceReason::StartFailed, Step::QueryServiceStatusEx,
                             waited);
  result.after = registryServiceText(status.currentState, startType);
  if (status.currentState != ServiceRunning) {
    const Status exitCode = status.win32ExitCode != 0 ? static_cast<Status>(status.win32ExitCode)
                                                      : StatusServiceNotActive;
    conversation.fail(RegistryServiceReason::StartFailed, Step::QueryServiceStatusEx, exitCode);
  }
  return result;
}

RegistryServiceResult restoreRegistryService(ServiceControl& control, const std::string& serverPath,
                                             const RegistryServiceChanges& changes, Clock& clock,
                                             const ServiceBounds& bounds) {
  RegistryServiceResult result;
  result.changes = changes;
  Conversation conversation(control, clock, result);
  const auto failed = [&](Step step, Status status) {
    return conversation.fail(
        changes.any() ? RegistryServiceReason::RestoreFailed : RegistryServiceReason::None, step,
        status);
  };
  Step step = Step::None;
  const std::uint32_t access = QueryRights | (changes.started ? ServiceStop : 0) |
                               (changes.enabled ? ServiceChangeConfig : 0);
  if (const Status failure = conversation.open(serverPath, access, &step))
    return failed(step, failure);

  if (changes.started) {
    conversation.startClock(bounds.stopMs);
    for (;;) {
      ServiceStatus answered;
      const Status stopped =
          control.controlService(conversation.service(), ServiceControlStop, &answered);
      if (stopped == StatusServiceCannotAcceptCtrl && conversation.timeLeft()) {
        conversation.pause(BusyRetryMs);
        continue;
      }
      if (stopped == 0) {
        ServiceStatusProcess status;
        if (const Status failure = conversation.waitWhile(ServiceStopPending, status))
          failed(Step::QueryServiceStatusEx, failure);
      } else if (stopped != StatusServiceNotActive) {
        failed(Step::ControlService, stopped);
      }
      break;
    }
  }
  // The start type goes back even when the stop failed: a running service that is Disabled
  // again stops for good at the next restart.
  if (changes.enabled) {
    if (const Status failure = control.changeServiceConfig(conversation.service(), ServiceDisabled))
      failed(Step::ChangeServiceConfigW, failure);
  }

  ServiceStatusProcess status;
  ServiceConfig config;
  if (const Status failure = conversation.read(status, config, &step)) return failed(step, failure);
  result.after = registryServiceText(status.currentState, config.startType);
  if ((changes.started && status.currentState != ServiceStopped) ||
      (changes.enabled && config.startType != ServiceDisabled))
    failed(Step::ServiceVerify, StatusSuccess);
  return result;
}

}  // namespace cairn
