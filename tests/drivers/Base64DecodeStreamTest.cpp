// The base64 stream of binary bill cells: decoding, its errors, and reading and seeking.
#include "drivers/Base64DecodeStream.h"

#include <gtest/gtest.h>

#include "dataset/Base64.h"
#include "platform/Exceptions.h"
#include "platform/Text.h"

namespace trs {
namespace {

TEST(Base64DecodeStreamTest, DecodesGroupsOfFourWithAndWithoutPadding) {
  const struct {
    std::u16string Text;
    std::string Bytes;
  } cases[] = {
      {u"", ""},
      {u"Zg==", "f"},
      {u"Zm8=", "fo"},
      {u"Zm9v", "foo"},  // four characters, no padding: three bytes
      {u"Zm9vYg==", "foob"},
      {u"Zm9vYmFy", "foobar"},
      {u"AAH//g==", std::string("\0\x01\xFF\xFE", 4)},
      {u"+/+/", "\xFB\xFF\xBF"},
      // Bits that padding leaves over are ignored.
      {u"Zh==", "f"},
      {u"Zm9=", "fo"},
  };
  for (const auto& c : cases) {
    const TBase64DecodeStream stream(c.Text);
    EXPECT_EQ(stream.Bytes(), c.Bytes) << WideToNarrow(c.Text);
    EXPECT_EQ(stream.Size(), static_cast<int64_t>(c.Bytes.size()));
    EXPECT_EQ(stream.Position(), 0);
  }
}

TEST(Base64DecodeStreamTest, LengthNotAMultipleOfFourIsUnevenSize) {
  for (const char16_t* text : {u"Z", u"Zm9", u"Zm9vY", u"Zm9v\r\n", u"Zm 9v=", u"Zg=", u"==="}) {
    try {
      TBase64DecodeStream stream{std::u16string_view(text)};
      ADD_FAILURE() << "decoded " << WideToNarrow(text);
    } catch (const EConvertError& error) {
      EXPECT_EQ(error.GetMessage(), "Uneven size in DecodeToStream.") << WideToNarrow(text);
    }
  }
}

TEST(Base64DecodeStreamTest, CharactersOutsideTheAlphabetAndMisplacedPaddingFail) {
  const char16_t* bad[] = {
      u"Zm9v\r\nYg",  // line breaks are not skipped
      u"Zm 9",        // nor blanks
      u"Zm9-",        // URL-safe alphabet is not MIME's
      u"Zm9_",
      u"Zm9\u00e9",   // outside ASCII
      u"Z\u4e2dv",
      u"====",        // padding only
      u"Z===",        // more than two padding characters
      u"Zg=a",        // a character after padding
      u"Z=g=",
      u"Zg==Zm9v",    // padding before the last group
      u"Zm9=Zm9v",
  };
  for (const char16_t* text : bad) {
    EXPECT_THROW(TBase64DecodeStream{std::u16string_view(text)}, EConvertError) << WideToNarrow(text);
  }
  // A zero unit inside the text counts as a character too.
  EXPECT_THROW(TBase64DecodeStream(std::u16string_view(u"Zm\0v", 4)), EConvertError);
}

TEST(Base64DecodeStreamTest, NarrowTextDecodesAsItsWideForm) {
  for (const char* text : {"", "Zm9vYmE=", "AAH//g==", "Zm9", "Zm9v\x80\x80\x80\x80"}) {
    std::string wide, narrow;
    try { wide = TBase64DecodeStream(NarrowToWide(text)).Bytes(); } catch (const EConvertError&) { wide = "error"; }
    try { narrow = TBase64DecodeStream::FromNarrow(text).Bytes(); } catch (const EConvertError&) { narrow = "error"; }
    EXPECT_EQ(wide, narrow) << text;
  }
}

TEST(Base64DecodeStreamTest, RoundTripsEveryByteValueAndLength) {
  std::string bytes;
  for (int i = 0; i < 300; ++i) bytes += static_cast<char>(i * 7 + 3);
  for (size_t length = 0; length <= bytes.size(); length += 1 + length / 16) {
    const std::string source = bytes.substr(0, length);
    EXPECT_EQ(TBase64DecodeStream::FromNarrow(Base64Encode(source)).Bytes(), source) << length;
  }
}

TEST(Base64DecodeStreamTest, ReadsAndSeeksLikeAMemoryStream) {
  TBase64DecodeStream stream(u"Zm9vYmFy");  // "foobar"
  char buffer[8] = {};
  EXPECT_EQ(stream.Read(buffer, 4), 4u);
  EXPECT_EQ(std::string(buffer, 4), "foob");
  EXPECT_EQ(stream.Position(), 4);
  EXPECT_EQ(stream.Read(buffer, 8), 2u);
  EXPECT_EQ(std::string(buffer, 2), "ar");
  EXPECT_EQ(stream.Read(buffer, 8), 0u);

  EXPECT_EQ(stream.Seek(-3, TSeekOrigin::soEnd), 3);
  EXPECT_EQ(stream.Read(buffer, 1), 1u);
  EXPECT_EQ(buffer[0], 'b');
  EXPECT_EQ(stream.Seek(-2, TSeekOrigin::soCurrent), 2);
  EXPECT_EQ(stream.Seek(1, TSeekOrigin::soBeginning), 1);
  EXPECT_EQ(stream.Read(buffer, 1), 1u);
  EXPECT_EQ(buffer[0], 'o');

  // Beyond the end is a position with nothing to read; before the start is refused.
  EXPECT_EQ(stream.Seek(100, TSeekOrigin::soBeginning), 100);
  EXPECT_EQ(stream.Read(buffer, 8), 0u);
  EXPECT_EQ(stream.Position(), 100);
  EXPECT_THROW(stream.Seek(-1, TSeekOrigin::soBeginning), EConvertError);
  EXPECT_THROW(stream.Seek(-101, TSeekOrigin::soCurrent), EConvertError);
  EXPECT_THROW(stream.Seek(INT64_MAX, TSeekOrigin::soCurrent), EConvertError);
  EXPECT_EQ(stream.Position(), 100);
}

}  // namespace
}  // namespace trs
