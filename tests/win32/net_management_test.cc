// The Win32 network-management backend on the one machine Wine answers for: itself.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/net_management.h"
#include "platform/win32/remote_services-win32.h"

namespace cairn {
namespace {

std::u16string computerName() {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  ::GetComputerNameW(name, &size);
  return std::u16string(reinterpret_cast<const char16_t*>(name), size);
}

TEST(NetManagementTest, OwnWorkstationRecordNamesThisComputer) {
  const auto net = makeWin32NetManagement();
  NetRecord record = nullptr;
  ASSERT_EQ(net->workstationInfo(u"\\\\" + computerName(), &record), 0u);
  ASSERT_NE(record, nullptr);
  const WorkstationNames names = net->workstationNames(record);
  ASSERT_NE(names.computerName, nullptr);
  ASSERT_NE(names.langroup, nullptr);
  EXPECT_EQ(std::u16string(names.computerName), computerName());
  EXPECT_FALSE(std::u16string(names.langroup).empty());
  net->freeBuffer(record);
}

struct QueryCase {
  const char* name;
  bool server;  // NetServerGetInfo, else NetWkstaGetInfo
  std::u16string serverPath;
};

void PrintTo(const QueryCase& c, std::ostream* os) {
  *os << c.name;
}

class NetManagementFailureTest : public testing::TestWithParam<QueryCase> {};

// Wine answers level 102 for no other machine, and never NetServerGetInfo level 102: both end
// a check run with "Can not access", so both must come back as failures.
TEST_P(NetManagementFailureTest, UnansweredQueryFails) {
  const QueryCase& c = GetParam();
  const auto net = makeWin32NetManagement();
  NetRecord record = nullptr;
  const std::u16string path = c.serverPath.empty() ? u"\\\\" + computerName() : c.serverPath;
  const std::uint32_t status =
      c.server ? net->serverInfo(path, &record) : net->workstationInfo(path, &record);
  EXPECT_NE(status, 0u);
  net->freeBuffer(record);  // whatever the call left behind, null included
}

INSTANTIATE_TEST_SUITE_P(
    Queries, NetManagementFailureTest,
    testing::Values(QueryCase{"WorkstationOfOtherMachine", false, u"\\\\NOSUCHPC"},
                    QueryCase{"ServerOfOtherMachine", true, u"\\\\NOSUCHPC"},
                    QueryCase{"ServerOfThisComputerUnderWine", true, u""}),
    [](const testing::TestParamInfo<QueryCase>& info) { return info.param.name; });

TEST(NetManagementTest, NullRecordIsAcceptedEverywhere) {
  const auto net = makeWin32NetManagement();
  const WorkstationNames names = net->workstationNames(nullptr);
  EXPECT_EQ(names.computerName, nullptr);
  EXPECT_EQ(names.langroup, nullptr);
  net->freeBuffer(nullptr);
}

}  // namespace
}  // namespace cairn
