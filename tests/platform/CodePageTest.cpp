// A narrow page other than UTF-8 (GBK, as on a Chinese system): conversions and cuts.
#include <gtest/gtest.h>

#include "platform/Text.h"

namespace trs {
namespace {

class GbkPageTest : public testing::Test {
 protected:
  void SetUp() override { UseNarrowCodePage("GBK"); }
  void TearDown() override { UseNarrowCodePage("UTF-8"); }
};

const std::string GbkZhong = "\xD6\xD0";  // 中
const std::string GbkWen = "\xCE\xC4";    // 文

TEST_F(GbkPageTest, ConvertsThroughThePage) {
  ASSERT_FALSE(NarrowIsUtf8());
  EXPECT_EQ(NarrowToWide("a" + GbkZhong + GbkWen), u"a\u4E2D\u6587");
  EXPECT_EQ(WideToNarrow(u"a\u4E2D\u6587"), "a" + GbkZhong + GbkWen);
  // A character the page lacks becomes "?", one per UTF-16 unit it could not convert.
  EXPECT_EQ(WideToNarrow(u"\u4E2D\u0E01x"), GbkZhong + "?x");
  // Bytes that are no character of the page become U+FFFD.
  EXPECT_EQ(NarrowToWide("a\xFF" "b"), u"a\uFFFDb");
  EXPECT_EQ(NarrowToUtf8(GbkZhong), "\xE4\xB8\xAD");
  EXPECT_EQ(Utf8ToNarrow("\xE4\xB8\xAD"), GbkZhong);
}

TEST_F(GbkPageTest, CutsNeverSplitADoubleByteCharacter) {
  const std::string text = "a" + GbkZhong + GbkWen;  // 5 bytes: a, then two 2-byte characters
  EXPECT_EQ(NarrowCutLength(text, 5), 5u);
  EXPECT_EQ(NarrowCutLength(text, 4), 3u);
  EXPECT_EQ(NarrowCutLength(text, 3), 3u);
  EXPECT_EQ(NarrowCutLength(text, 2), 1u);
  EXPECT_EQ(NarrowCutLength("\xFF\xFF\xFF", 2), 2u);  // invalid bytes count one by one
}

TEST(NarrowPage, BackToUtf8AfterAnotherPage) {
  UseNarrowCodePage("GBK");
  EXPECT_EQ(WideToNarrow(u"\u4E2D"), GbkZhong);
  UseNarrowCodePage("");  // a C locale's empty or ASCII name means UTF-8
  EXPECT_TRUE(NarrowIsUtf8());
  EXPECT_EQ(WideToNarrow(u"\u4E2D"), "\xE4\xB8\xAD");
}

}  // namespace
}  // namespace trs
