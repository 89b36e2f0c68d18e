#include "platform/status.h"

namespace cairn {

std::string_view statusName(Status status) {
  switch (status) {
#define CAIRN_STATUS_NAME(name, value, platformName) \
  case name:                                         \
    return platformName;
    CAIRN_STATUS_TABLE(CAIRN_STATUS_NAME)
#undef CAIRN_STATUS_NAME
    default:
      return {};
  }
}

}  // namespace cairn
