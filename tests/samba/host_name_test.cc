// The host of a server path, and the names that must never reach Samba's binding parser.
#include "platform/samba/host_name.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace cairn {
namespace {

struct HostCase {
  const char* name;
  std::string serverPath;
  std::string host;
};

void PrintTo(const HostCase& c, std::ostream* os) {
  *os << c.name;
}

class HostNameTest : public testing::TestWithParam<HostCase> {};

TEST_P(HostNameTest, GivesTheHostOrNothing) {
  EXPECT_EQ(hostFromServerPath(GetParam().serverPath), GetParam().host);
}

using namespace std::string_literals;

INSTANTIATE_TEST_SUITE_P(
    Paths, HostNameTest,
    testing::Values(
        HostCase{"netbiosName", "\\\\PC01", "PC01"},
        HostCase{"fullyQualified", "\\\\pc01.corp.example", "pc01.corp.example"},
        HostCase{"hyphenAndUnderscore", "\\\\PC-01_A", "PC-01_A"},
        HostCase{"noBackslashes", "PC01", "PC01"}, HostCase{"onlyBackslashes", "\\\\", ""},
        HostCase{"empty", "", ""}, HostCase{"bindingOptions", "\\\\pc01[sign,seal]", ""},
        HostCase{"bindingTransport", "\\\\ncalrpc:pc01", ""},
        HostCase{"optionAssignment", "\\\\pc01,endpoint=x", ""},
        HostCase{"innerBackslash", "\\\\pc01\\share", ""}, HostCase{"blank", "\\\\pc 01", ""},
        HostCase{"controlBytes", "\\\\BAD\x1b]0;OWNED\aNAME", ""},
        HostCase{"embeddedNul", "\\\\pc01\0x"s, ""}, HostCase{"highBytes", "\\\\PC\xc3\xa9", ""}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace cairn
