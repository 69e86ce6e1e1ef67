// Text between the host (UTF-8: script lines, file names, output) and the
// device (UTF-16): what is well formed goes through unchanged both ways; what
// is not becomes U+FFFD, never a character its bytes did not say.
#include <gtest/gtest.h>

#include "device.h"

namespace {

TEST(Text, Utf8ToUtf16AndBack) {
  const struct {
    const char* what;
    std::string utf8;
    std::u16string utf16;
    bool roundTrip;
  } rows[] = {
      {"ASCII", "Play", u"Play", true},
      {"two, three and four bytes", "Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xB5", u"Caf\u00E9 \u20AC \U0001F3B5", true},
      {"the edges of each length", "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF\xF4\x8F\xBF\xBF",
       u"\u007F\u0080\u07FF\u0800\uFFFF\U0010FFFF", true},
      {"an overlong NUL", std::string("a\xC0\x80z"), u"a\uFFFD\uFFFDz", false},
      {"an overlong slash, three bytes", "\xE0\x80\xAF/", u"\uFFFD\uFFFD\uFFFD/", false},
      {"a surrogate in UTF-8", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD", false},
      {"past U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD", false},
      {"a stray continuation byte", "x\x80y", u"x\uFFFDy", false},
      {"cut short, then a letter", "\xE2\x82z", u"\uFFFDz", false},
      {"cut short at the end", "ok\xF0\x9F", u"ok\uFFFD", false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    EXPECT_EQ(wince::widen(row.utf8), row.utf16);
    if (row.roundTrip) EXPECT_EQ(wince::narrow(row.utf16), row.utf8);
  }
  EXPECT_EQ(wince::narrow(std::u16string(u"a") + char16_t(0xD800) + u"b"), "a\xEF\xBF\xBD" "b") << "half a pair";
  EXPECT_EQ(wince::narrow(std::u16string(1, char16_t(0xDC00))), "\xEF\xBF\xBD") << "the second half alone";
}

}  // namespace
