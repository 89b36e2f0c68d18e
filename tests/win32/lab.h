// The private Wine lab of tests/win32/wine-lab.sh, as the tests see it. Tests that need its
// hosts file, its dropped address or its host name skip outside it: run them through
// tools/test-windows.sh.
#pragma once

#include <cstdlib>
#include <string>

namespace cairn::lab {

// The lab's host name (Wine's computer name, upper-cased), or empty text outside the lab.
inline std::string hostName() {
  const char* name = std::getenv("CAIRN_WINE_LAB_HOST");
  return name != nullptr ? name : "";
}

// A loopback address whose packets the lab drops unanswered.
inline std::string droppedAddress() {
  const char* address = std::getenv("CAIRN_WINE_LAB_DOWN");
  return address != nullptr ? address : "";
}

#define CAIRN_REQUIRE_WINE_LAB()                                          \
  do {                                                                    \
    if (::cairn::lab::hostName().empty())                                 \
      GTEST_SKIP() << "needs the private lab of tests/win32/wine-lab.sh"; \
  } while (false)

}  // namespace cairn::lab
