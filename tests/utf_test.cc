// The UTF-8 and UTF-16 conversions, which read names and values from remote PCs: every length
// boundary, the surrogate range, overlong forms, truncated sequences and stray bytes, each way.
#include <gtest/gtest.h>

#include <string>

#include "platform/common/utf.h"

namespace cairn {
namespace {

constexpr char16_t Bad = 0xFFFD;

TEST(UtfTest, Utf8ToUtf16) {
  struct Case {
    const char* name;
    std::string utf8;
    std::u16string utf16;
  };
  for (const Case& c : std::initializer_list<Case>{
           {"empty", "", u""},
           {"one byte, highest", "\x7F", u"\x7F"},
           {"two bytes, lowest", "\xC2\x80", u"\x80"},
           {"two bytes, highest", "\xDF\xBF", u"\x7FF"},
           {"three bytes, lowest", "\xE0\xA0\x80", u"\x800"},
           {"below the surrogates", "\xED\x9F\xBF", u"\xD7FF"},
           {"first surrogate", "\xED\xA0\x80", {Bad}},
           {"last surrogate", "\xED\xBF\xBF", {Bad}},
           {"above the surrogates", "\xEE\x80\x80", u"\xE000"},
           {"three bytes, highest", "\xEF\xBF\xBF", u"\xFFFF"},
           {"four bytes, lowest", "\xF0\x90\x80\x80", {0xD800, 0xDC00}},
           {"four bytes, highest", "\xF4\x8F\xBF\xBF", {0xDBFF, 0xDFFF}},
           {"above U+10FFFF", "\xF4\x90\x80\x80", {Bad}},
           {"overlong NUL", std::string("\xC0\x80", 2), {Bad}},
           {"overlong two bytes", "\xC1\xBF", {Bad}},
           {"overlong three bytes", "\xE0\x9F\xBF", {Bad}},
           {"overlong four bytes", "\xF0\x8F\xBF\xBF", {Bad}},
           {"truncated two bytes", "A\xC2", {u'A', Bad}},
           {"truncated three bytes", "\xE0\xA0", {Bad}},
           {"truncated four bytes", "\xF0\x90\x80", {Bad}},
           {"cut by a lead byte", "\xC2\xC2\x80", {Bad, 0x80}},
           {"cut by ASCII",
            "\xE0\xA0"
            "A",
            {Bad, u'A'}},
           {"stray continuation",
            "\x80"
            "A",
            {Bad, u'A'}},
           {"five-byte form", "\xF8\x88\x80\x80\x80", {Bad, Bad, Bad, Bad, Bad}},
           {"never a lead", "\xFE\xFF", {Bad, Bad}},
           {"stops at NUL", std::string("A\0B", 3), u"A"},
       })
    EXPECT_EQ(utf8ToUtf16(c.utf8), c.utf16) << c.name;
}

TEST(UtfTest, Utf16ToUtf8) {
  struct Case {
    const char* name;
    std::u16string utf16;
    std::string utf8;
  };
  for (const Case& c : std::initializer_list<Case>{
           {"empty", u"", ""},
           {"one byte, highest", u"\x7F", "\x7F"},
           {"two bytes, lowest", u"\x80", "\xC2\x80"},
           {"two bytes, highest", u"\x7FF", "\xDF\xBF"},
           {"three bytes, lowest", u"\x800", "\xE0\xA0\x80"},
           {"three bytes, highest", u"\xFFFF", "\xEF\xBF\xBF"},
           {"pair, lowest", {0xD800, 0xDC00}, "\xF0\x90\x80\x80"},
           {"pair, highest", {0xDBFF, 0xDFFF}, "\xF4\x8F\xBF\xBF"},
           {"high surrogate at the end", {u'A', 0xD800}, "A\xEF\xBF\xBD"},
           {"high surrogate before ASCII",
            {0xDBFF, u'A'},
            "\xEF\xBF\xBD"
            "A"},
           {"lone low surrogate", {0xDC00}, "\xEF\xBF\xBD"},
           {"pair reversed", {0xDC00, 0xD800}, "\xEF\xBF\xBD\xEF\xBF\xBD"},
           {"two high surrogates", {0xD800, 0xD800, 0xDC00}, "\xEF\xBF\xBD\xF0\x90\x80\x80"},
           {"stops at the zero unit", {u'A', 0, u'B'}, "A"},
       })
    EXPECT_EQ(utf16ToUtf8(c.utf16.c_str()), c.utf8) << c.name;
}

}  // namespace
}  // namespace cairn
