// The Win32 registry backend against Wine's own registry, reached the way a check run reaches a
// PC: through "\\<computer name>" and the Winlogon key. Each test writes only a value name of
// its own and deletes it again.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/registry.h"
#include "platform/win32/remote_services-win32.h"
#include "remote/winlogon_key.h"

namespace cairn {
namespace {

std::string computerName() {
  char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = sizeof name;
  ::GetComputerNameA(name, &size);
  return std::string(name, size);
}

const std::string ScratchValue = "CairnmarkTest" + std::to_string(::GetCurrentProcessId());

class RegistryTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(registry_->connect("\\\\" + computerName(), &root_), 0u);
    ASSERT_EQ(registry_->openKey(root_, WinlogonKeyPath, KeyAllAccess, &key_), 0u);
  }
  void TearDown() override {
    ::RegDeleteValueA(reinterpret_cast<HKEY>(key_), ScratchValue.c_str());
    registry_->closeKey(key_);
    registry_->closeKey(root_);
  }

  std::unique_ptr<Registry> registry_ = makeWin32Registry();
  RegKey root_ = 0;
  RegKey key_ = 0;
};

TEST_F(RegistryTest, MissingValueLeavesTheCallersBufferAlone) {
  unsigned char buffer[1024];
  std::memcpy(buffer, "*ERROR*", 8);
  std::uint32_t type = 77;
  std::uint32_t size = sizeof buffer;
  EXPECT_NE(registry_->queryValue(key_, ScratchValue, &type, buffer, &size), 0u);
  EXPECT_STREQ(reinterpret_cast<const char*>(buffer), "*ERROR*");
}

TEST_F(RegistryTest, WrittenTextReadsBackWithItsNul) {
  const unsigned char domain[] = "NEWDOM";
  ASSERT_EQ(registry_->setValue(key_, ScratchValue, RegSz, domain, sizeof domain), 0u);
  unsigned char buffer[1024] = {};
  std::uint32_t type = 0;
  std::uint32_t size = sizeof buffer;
  ASSERT_EQ(registry_->queryValue(key_, ScratchValue, &type, buffer, &size), 0u);
  EXPECT_EQ(type, RegSz);
  EXPECT_EQ(size, sizeof domain);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(buffer), size),
            std::string("NEWDOM", sizeof domain));
}

TEST_F(RegistryTest, ShortBufferGetsNoByteBeyondItsSize) {
  const unsigned char domain[] = "LONGDOMAIN";
  ASSERT_EQ(registry_->setValue(key_, ScratchValue, RegSz, domain, sizeof domain), 0u);
  unsigned char buffer[32];
  std::memset(buffer, '#', sizeof buffer);
  std::uint32_t type = 0;
  std::uint32_t size = 4;
  EXPECT_EQ(registry_->queryValue(key_, ScratchValue, &type, buffer, &size),
            static_cast<std::uint32_t>(ERROR_MORE_DATA));
  EXPECT_EQ(size, sizeof domain);
  for (std::size_t i = 4; i < sizeof buffer; ++i) EXPECT_EQ(buffer[i], '#') << "byte " << i;
}

TEST(RegistryHandleTest, ClosedHandlesNoLongerAnswer) {
  const auto registry = makeWin32Registry();
  RegKey root = 0;
  RegKey key = 0;
  ASSERT_EQ(registry->connect("\\\\" + computerName(), &root), 0u);
  ASSERT_EQ(registry->openKey(root, WinlogonKeyPath, KeyAllAccess, &key), 0u);
  registry->closeKey(key);
  registry->closeKey(root);
  unsigned char buffer[16] = {};
  std::uint32_t type = 0;
  std::uint32_t size = sizeof buffer;
  // Only the key can show it: for its own name Wine connects to the predefined
  // HKEY_LOCAL_MACHINE, which closing leaves usable.
  EXPECT_EQ(registry->queryValue(key, "Shell", &type, buffer, &size),
            static_cast<std::uint32_t>(ERROR_INVALID_HANDLE));
}

struct RefusalCase {
  const char* name;
  std::string machine;  // "<self>" stands for "\\<computer name>"
  std::string subKey;
};

void PrintTo(const RefusalCase& c, std::ostream* os) {
  *os << c.name;
}

class RegistryRefusalTest : public testing::TestWithParam<RefusalCase> {};

// A refused step reports a non-zero status and hands back no handle.
TEST_P(RegistryRefusalTest, RefusedStepLeavesNoHandle) {
  const RefusalCase& c = GetParam();
  const auto registry = makeWin32Registry();
  RegKey root = 12345;
  const std::string machine = c.machine == "<self>" ? "\\\\" + computerName() : c.machine;
  const std::uint32_t connected = registry->connect(machine, &root);
  if (c.subKey.empty()) {
    EXPECT_NE(connected, 0u);
    EXPECT_EQ(root, 12345u);
    return;
  }
  ASSERT_EQ(connected, 0u);
  RegKey key = 54321;
  EXPECT_NE(registry->openKey(root, c.subKey, KeyAllAccess, &key), 0u);
  EXPECT_EQ(key, 54321u);
  registry->closeKey(root);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, RegistryRefusalTest,
    testing::Values(RefusalCase{"OtherMachine", "\\\\NOSUCHPC", ""},
                    RefusalCase{"MissingKey", "<self>", "SOFTWARE\\Cairnmark\\No such key"}),
    [](const testing::TestParamInfo<RefusalCase>& info) { return info.param.name; });

}  // namespace
}  // namespace cairn
