// The standard conversions and their runtime messages.
#include <gtest/gtest.h>

#include "platform/Convert.h"
#include "platform/Exceptions.h"

namespace trs {
namespace {

TEST(StrToInt, AcceptsTheStandardForms) {
  const std::pair<const char*, int32_t> cases[] = {
      {"0", 0},           {"42", 42},           {"-7", -7},       {"+7", 7},
      {"$1F", 31},        {"0x1f", 31},         {"0X10", 16},     {"-$10", -16},
      {"2147483647", 2147483647}, {"-2147483648", INT32_MIN}, {"$FFFFFFFF", -1}, {"007", 7},
  };
  for (const auto& [text, value] : cases) EXPECT_EQ(StrToInt(text), value) << text;
}

TEST(StrToInt, RejectsEverythingElseWithTheRuntimeText) {
  for (const char* text : {"", " 1", "1 ", "1.5", "abc", "$", "0x", "-", "2147483648", "$100000000", "1,2"}) {
    try {
      StrToInt(text);
      ADD_FAILURE() << "accepted '" << text << "'";
    } catch (const EConvertError& error) {
      EXPECT_EQ(error.GetMessage(), std::string("'") + text + "' is not a valid integer value");
    }
  }
}

TEST(StrToBool, NumbersAndWords) {
  EXPECT_TRUE(StrToBool("1"));
  EXPECT_TRUE(StrToBool("-3"));
  EXPECT_FALSE(StrToBool("0"));
  EXPECT_TRUE(StrToBool("tRUE"));
  EXPECT_FALSE(StrToBool("False"));
  EXPECT_TRUE(StrToBool("0.5"));
  try {
    StrToBool("yes");
    ADD_FAILURE();
  } catch (const EConvertError& error) {
    EXPECT_STREQ(error.what(), "'yes' is not a valid boolean value");
  }
}

TEST(StrToFloat, DecimalPointWhateverTheLocale) {
  EXPECT_DOUBLE_EQ(StrToFloat("1.5"), 1.5);
  EXPECT_DOUBLE_EQ(StrToFloat(" -2e3 "), -2000);
  EXPECT_DOUBLE_EQ(StrToFloat("+.25"), 0.25);
  for (const char* text : {"", "1,5", "inf", "nan", "0x10", "1.5x"}) {
    try {
      StrToFloat(text);
      ADD_FAILURE() << text;
    } catch (const EConvertError& error) {
      EXPECT_EQ(error.GetMessage(), std::string("'") + text + "' is not a valid floating point value");
    }
  }
}

}  // namespace
}  // namespace trs
