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

// A record the platform may hand back, released exactly once: by reset, or when the guard ends
// (a null record too, which the release accepts).
class NetBuffer {
 public:
  explicit NetBuffer(NetManagement& net) : net_(net) {}
  ~NetBuffer() { net_.freeBuffer(record_); }
  NetBuffer(const NetBuffer&) = delete;
  NetBuffer& operator=(const NetBuffer&) = delete;

  // Where a query puts the record.
  NetRecord* receive() { return &record_; }
  NetRecord get() const { return record_; }
  // Releases a record that is held, so that the next query starts empty.
  void reset() {
    if (record_ == nullptr) return;
    net_.freeBuffer(record_);
    record_ = nullptr;
  }

 private:
  NetManagement& net_;
  NetRecord record_ = nullptr;
};

}  // namespace cairn
