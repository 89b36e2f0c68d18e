// Network management: workstation and server information of a remote PC at level 102.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/status.h"

namespace cairn {

// A platform-allocated information record; released only through freeBuffer.
using NetRecord = void*;

// The two fields of a level-102 workstation record that the checks read. Either may be null.
struct WorkstationNames {
  const char16_t* computerName = nullptr;  // wki102_computername
  const char16_t* langroup = nullptr;      // wki102_langroup
};

class NetManagement {
 public:
  virtual ~NetManagement() = default;

  // NetWkstaGetInfo at level 102 on a server path ("\\NAME" in UTF-16). StatusSuccess is success;
  // the record may be set even when the call fails.
  virtual Status workstationInfo(const std::u16string& serverPath, NetRecord* record) = 0;

  // NetServerGetInfo at level 102; only the status is used.
  virtual Status serverInfo(const std::u16string& serverPath, NetRecord* record) = 0;

  // The names held by a record that workstationInfo filled.
  virtual WorkstationNames workstationNames(NetRecord record) = 0;

  // NetApiBufferFree; a null record is accepted and ignored.
  virtual void freeBuffer(NetRecord record) = 0;
};

}  // namespace cairn
