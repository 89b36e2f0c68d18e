#include "reach/echo_probe.h"

namespace cairn {

Status probeEcho(IcmpEcho& icmp, const std::string& addressText, std::uint32_t timeoutMs) {
  const std::uint32_t destination = icmp.inetAddr(addressText);
  if (destination == InaddrNone) return StatusNoAddress;
  const EchoHandle handle(icmp);
  // An attempt that could not even send must never pass for an answered one.
  if (!handle.valid()) return StatusIpGeneralFailure;
  EchoRequest request;
  request.destination = destination;
  request.ttl = EchoTtl;
  request.timeoutMs = timeoutMs;
  const EchoResult result = icmp.sendEcho(handle.get(), request);
  // Without a reply the status is the request's error code; a request that ended without a reply
  // and without an error code timed out.
  if (result.replyCount == 0 && result.status == StatusSuccess) return StatusIpReqTimedOut;
  return result.status;
}

PingOutcome pingHost(CheckContext& check, const std::string& addressText) {
  ReportPrinter& printer = check.printer;
  IcmpEcho& icmp = check.platform.icmp;
  Status echoStatus = probeEcho(icmp, addressText, EchoTimeoutMs);
  if (echoStatus != StatusSuccess) {
    printer.printVerbose(" ! Second knock...");
    echoStatus = probeEcho(icmp, addressText, EchoTimeoutMs);
  }
  if (echoStatus == StatusSuccess) {
    printer.printReport(" + Host UP. Successfully pinged: " + addressText);
    return PingOutcome::HostUp;
  }
  check.record.failed(Step::IcmpSendEcho, echoStatus);
  printer.printReport(" - Host DOWN. Could not ping: " + addressText);
  return PingOutcome::HostDown;
}

}  // namespace cairn
