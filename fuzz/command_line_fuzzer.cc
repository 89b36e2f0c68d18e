// Feeds arbitrary bytes as the command tail through a whole check run on the scripted platform.
// Whatever the bytes, the run must end with one of the documented exit codes, release what it
// was handed and never touch memory it does not own (the sanitizers watch that).
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "front/single_check.h"
#include "tests/fakes/fake_platform.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  cairn::fakes::FakePlatform fake;
  const std::string_view tail(reinterpret_cast<const char*>(data), size);
  const int code = cairn::runChecks(tail, fake.platform);
  switch (code) {
    case 0:
    case 1:
    case 2:
    case 4:
    case 8:
    case 9:
    case 16:
    case 32:
    case 64:
    case 99:
      break;
    default:
      std::abort();
  }
  if (!fake.leftClean()) std::abort();
  return 0;
}
