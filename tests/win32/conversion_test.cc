// The narrow/UTF-16 conversions of the Win32 console backend, with the system ANSI code page.
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/console.h"

namespace cairn {
namespace {

struct ConversionCase {
  const char* name;
  std::string narrow;
  std::u16string wide;
  bool needsWesternCodePage;  // only where the ANSI code page is 1252
};

void PrintTo(const ConversionCase& c, std::ostream* os) {
  *os << c.name;
}

class ConversionTest : public testing::TestWithParam<ConversionCase> {
 protected:
  std::unique_ptr<Console> console_ = makeSystemConsole(0, nullptr);
};

TEST_P(ConversionTest, NarrowToWideAndBack) {
  const ConversionCase& c = GetParam();
  if (c.needsWesternCodePage && ::GetACP() != 1252) GTEST_SKIP() << "code page " << ::GetACP();
  EXPECT_EQ(console_->toWide(c.narrow), c.wide);
  EXPECT_EQ(console_->toNarrow(c.wide.c_str()), c.narrow.substr(0, c.narrow.find('\0')));
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ConversionTest,
    testing::Values(ConversionCase{"Empty", "", u"", false},
                    ConversionCase{"ServerPath", "\\\\PC01", u"\\\\PC01", false},
                    ConversionCase{"StopsAtNul", std::string("AB\0CD", 5), u"AB", false},
                    ConversionCase{"Western", "M\xdcLLER\xc4", u"M\u00dcLLER\u00c4", true},
                    ConversionCase{"EuroSign", "\x80", u"\u20ac", true}),
    [](const testing::TestParamInfo<ConversionCase>& info) { return info.param.name; });

TEST(ConversionEdgeTest, NullAndEmptyWideTextGiveEmptyText) {
  const auto console = makeSystemConsole(0, nullptr);
  EXPECT_EQ(console->toNarrow(nullptr), "");
  EXPECT_EQ(console->toNarrow(u""), "");
  // A record's text ends at its first zero unit.
  const char16_t withZero[] = {u'P', u'C', 0, u'X', 0};
  EXPECT_EQ(console->toNarrow(withZero), "PC");
}

}  // namespace
}  // namespace cairn
