// Base64 of XML blob values.
#include "dataset/Base64.h"

#include <gtest/gtest.h>

namespace trs {
namespace {

TEST(Base64Test, KnownVectorsBothWays) {
  const std::pair<std::string, std::string> vectors[] = {
      {"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},         {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"},
      {std::string("\0\x01\xFF\xFE", 4), "AAH//g=="},
  };
  for (const auto& [bytes, text] : vectors) {
    EXPECT_EQ(Base64Encode(bytes), text);
    EXPECT_EQ(Base64Decode(text), bytes) << text;
  }
}

TEST(Base64Test, DecoderToleratesBlanksAndMissingPaddingOnly) {
  EXPECT_EQ(Base64Decode("Zm9v\r\nYmE"), "fooba");
  EXPECT_EQ(Base64Decode(" Zg = = "), "f");
  for (const char* bad : {"Z", "Zm9vY", "Zg=a", "Zg===", "Zm9v!", "Z=g=", "Zm9v\x80"})
    EXPECT_EQ(Base64Decode(bad), std::nullopt) << bad;
}

}  // namespace
}  // namespace trs
