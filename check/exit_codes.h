// The process exit codes: the tool's real result, tested by batch files as the errorlevel.
#pragma once

namespace cairn {

inline constexpr int ExitSuccess = 0;
inline constexpr int ExitUnreachable = 1;  // lookup failed or host down
inline constexpr int ExitNoAccess = 2;     // a network-management query failed twice
inline constexpr int ExitNameMismatch = 4;
inline constexpr int ExitWrongDomain = 8;
inline constexpr int ExitUsage = 9;
inline constexpr int ExitRegistryAccess = 16;   // added by the Winlogon update
inline constexpr int ExitValueUnreadable = 32;  // added by the Winlogon update
inline constexpr int ExitValueUnwritable = 64;  // added by the Winlogon update
inline constexpr int ExitBadValue = 99;         // syntax or value error

}  // namespace cairn
