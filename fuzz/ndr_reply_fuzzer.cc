// Hostile replies for every decoder of the Samba backend. The first byte picks the decoder; the
// rest is the stub data a remote machine sent. A decoder may refuse, but never read or write out
// of bounds, and never hand back more value data than was asked for.
#include <cstdint>
#include <cstdlib>

#include "platform/samba/rpc_calls.h"
#include "platform/samba/svcctl_calls.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const unsigned char* reply = data + 1;
  const std::size_t length = size - 1;
  switch (data[0] % 8) {
    case 0: {
      cairn::rpc::WkstaInfo102 info;
      cairn::rpc::decodeNetrWkstaGetInfo(reply, length, info);
      break;
    }
    case 1:
      cairn::rpc::decodeNetrServerGetInfo(reply, length);
      break;
    case 2: {
      cairn::rpc::PolicyHandle handle;
      cairn::rpc::decodeHandleReply(reply, length, handle);
      break;
    }
    case 3: {
      constexpr std::uint32_t Capacity = 1024;
      cairn::rpc::QueryValueReply value;
      if (cairn::rpc::decodeQueryValue(reply, length, Capacity, value) == 0 &&
          value.data.size() > Capacity)
        std::abort();
      break;
    }
    case 4:
      cairn::rpc::decodeStatusReply(reply, length);
      break;
    case 5: {
      cairn::ServiceStatusProcess status;
      cairn::rpc::decodeQueryServiceStatusEx(reply, length, status);
      break;
    }
    case 6: {
      cairn::ServiceConfig config;
      std::uint32_t needed = 0;
      cairn::rpc::decodeQueryServiceConfigW(reply, length, config, needed);
      break;
    }
    case 7: {
      cairn::ServiceStatus status;
      cairn::rpc::decodeControlService(reply, length, status);
      cairn::rpc::decodeChangeServiceConfigW(reply, length);
      break;
    }
  }
  return 0;
}
