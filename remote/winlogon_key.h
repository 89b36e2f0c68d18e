// The Winlogon key that /S rewrites, under HKEY_LOCAL_MACHINE. It is defined outside the logic,
// in one source the build generates: shipped programs link the real key; only the lab's twins
// (lab/lab.cmake) link a writable stand-in, because Samba refuses every write under the real one.
#pragma once

namespace cairn {

extern const char WinlogonKeyPath[];

}  // namespace cairn
