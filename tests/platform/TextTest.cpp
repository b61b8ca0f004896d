// The text model: body decoding, result encoding, narrow cuts, case and trimming.
#include <gtest/gtest.h>

#include "platform/Text.h"
#include "platform/Utf8.h"

namespace trs {
namespace {

struct BodyCase {
  const char* name;
  std::string body;
  std::u16string expected;
};

TEST(DecodeUtf8Body, DecodesOrEmptiesTheWholeBody) {
  const BodyCase cases[] = {
      {"ascii", "AddDataRow", u"AddDataRow"},
      {"two byte", "\xC3\xA9", u"\u00E9"},
      {"three byte chinese", "\xE4\xB8\xAD\xE6\x96\x87", u"\u4E2D\u6587"},
      {"four byte becomes a surrogate pair", "a\xF0\x9F\x98\x80z", u"a\U0001F600z"},
      {"lenient overlong two byte", "\xC0\x80", std::u16string(1, u'\0')},
      {"continuation byte leads a two-byte sequence", "\x80\x80", std::u16string(1, u'\0')},
      {"encoded surrogates pass through", "\xED\xA0\xBD\xED\xB8\x80", u"\U0001F600"},
      {"cut off two byte", "abc\xC3", u""},
      {"cut off three byte", "abc\xE4\xB8", u""},
      {"bad continuation", "\xE4\x41\x41 rest", u""},
      {"four byte beyond U+10FFFF", "\xF4\x90\x80\x80", u""},
      {"overlong four byte", "\xF0\x80\x80\x80", u""},
      {"cut off four byte", "\xF0\x9F\x98", u""},
      {"empty", "", u""},
  };
  for (const auto& c : cases) EXPECT_EQ(DecodeUtf8Body(c.body), c.expected) << c.name;
}

TEST(DecodeUtf8Body, LongAsciiRunsAroundMultiByteText) {
  const std::string ascii(1000, 'x');
  const std::u16string wideAscii(1000, u'x');
  EXPECT_EQ(DecodeUtf8Body(ascii + "\xE4\xB8\xAD" + ascii), wideAscii + u"\u4E2D" + wideAscii);
}

TEST(EncodeUtf8Result, WritesUnitsAndPairs) {
  EXPECT_EQ(EncodeUtf8Result(u"1"), "1");
  EXPECT_EQ(EncodeUtf8Result(u"\u00E9\u4E2D"), "\xC3\xA9\xE4\xB8\xAD");
  EXPECT_EQ(EncodeUtf8Result(u"\U0001F600"), "\xF0\x9F\x98\x80");
  // A lone surrogate keeps the three-byte form pages have always received.
  EXPECT_EQ(EncodeUtf8Result(std::u16string(1, char16_t(0xD800))), "\xED\xA0\x80");
}

TEST(NarrowText, Utf8PageConversionsRoundTrip) {
  ASSERT_TRUE(NarrowIsUtf8());
  EXPECT_EQ(NarrowToWide("\xE4\xB8\xAD"), u"\u4E2D");
  EXPECT_EQ(WideToNarrow(u"\u4E2D\U0001F600"), "\xE4\xB8\xAD\xF0\x9F\x98\x80");
  EXPECT_EQ(WideToNarrow(std::u16string(1, char16_t(0xDC00))), "?");
  EXPECT_EQ(NarrowToWide("a\xFF"), u"a\uFFFD");
}

TEST(NarrowText, CutNeverSplitsACharacter) {
  const std::string text = "ab\xE4\xB8\xAD";  // 5 bytes
  EXPECT_EQ(NarrowCutLength(text, 10), 5u);
  EXPECT_EQ(NarrowCutLength(text, 5), 5u);
  EXPECT_EQ(NarrowCutLength(text, 4), 2u);
  EXPECT_EQ(NarrowCutLength(text, 3), 2u);
  EXPECT_EQ(NarrowCutLength(text, 2), 2u);
}

TEST(ProtocolText, LowerCasingAndTrimmingTouchOnlyTheirCharacters) {
  EXPECT_EQ(LowerAscii(std::string_view("ReportV10 \xC3\x89")), "reportv10 \xC3\x89");
  EXPECT_EQ(LowerAscii(std::u16string_view(u"\u00C9X")), u"\u00C9x");
  EXPECT_EQ(Trim(std::string_view("\t\x01 a b \r\n")), "a b");
  EXPECT_EQ(Trim(std::u16string_view(u"\u3000a ")), u"\u3000a");  // an ideographic space stays
  EXPECT_TRUE(SameTextAscii("IsPrinting", "isprinting"));
  EXPECT_FALSE(SameTextAscii("IsPrinting", "isprintin"));
}

}  // namespace
}  // namespace trs
