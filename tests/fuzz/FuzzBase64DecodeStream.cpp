// Fuzz target: the base64 stream of binary bill cells. Any text either decodes exactly as a
// bit-by-bit reference says or fails with a conversion error; wide text outside ASCII never
// decodes; the input bytes, encoded, decode back to themselves; and reading the stream in
// pieces with seeks gives its bytes.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "dataset/Base64.h"
#include "drivers/Base64DecodeStream.h"
#include "platform/Exceptions.h"
#include "platform/Text.h"

namespace {

int SextetOf(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

// The rules one character at a time: a length that is a multiple of four, alphabet
// characters, "=" only as the last or the last two characters; bits go out a byte at a time,
// and what padding leaves over is dropped.
bool ReferenceDecode(std::string_view text, std::string& out) {
  out.clear();
  if (text.size() % 4 != 0) return false;
  uint32_t bits = 0;
  int count = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '=') {
      const bool last = i + 1 == text.size();
      const bool secondLast = i + 2 == text.size() && text[i + 1] == '=';
      if (!last && !secondLast) return false;
      continue;
    }
    const int sextet = SextetOf(text[i]);
    if (sextet < 0) return false;
    bits = (bits << 6) | static_cast<uint32_t>(sextet);
    count += 6;
    if (count >= 8) {
      count -= 8;
      out += static_cast<char>((bits >> count) & 0xFF);
    }
  }
  return true;
}

void Check(bool condition) {
  if (!condition) std::abort();
}

// Decodes the text both ways (as wide text, and as its narrow form) and checks both
// against the reference.
void CheckText(const std::u16string& wide) {
  const std::string narrow = trs::WideToNarrow(wide);
  std::string expected;
  const bool valid = ReferenceDecode(narrow, expected);
  bool asciiOnly = true;
  for (char16_t unit : wide) asciiOnly = asciiOnly && unit < 0x80;
  for (int way = 0; way < 2; ++way) {
    try {
      const trs::TBase64DecodeStream stream =
          way == 0 ? trs::TBase64DecodeStream(wide) : trs::TBase64DecodeStream::FromNarrow(narrow);
      Check(valid && asciiOnly);
      Check(stream.Bytes() == expected);
      Check(stream.Position() == 0);
    } catch (const trs::EConvertError& error) {
      Check(!valid);
      if (narrow.size() % 4 != 0) Check(error.GetMessage() == "Uneven size in DecodeToStream.");
    }
  }
}

// Reads the stream in pieces of the sizes the steps give, seeking back over a piece when
// a step's high bit is set; every piece is the stream's bytes at that position.
void CheckReads(trs::TBase64DecodeStream& stream, std::string_view steps) {
  const std::string& bytes = stream.Bytes();
  for (unsigned char step : steps) {
    const int64_t at = stream.Position();
    char buffer[8];
    const size_t got = stream.Read(buffer, step % 9u);
    Check(got == std::min<size_t>(step % 9u, bytes.size() - static_cast<size_t>(at)));
    Check(std::string_view(buffer, got) == std::string_view(bytes).substr(static_cast<size_t>(at), got));
    Check(stream.Position() == at + static_cast<int64_t>(got));
    if (step & 0x80) Check(stream.Seek(-static_cast<int64_t>(got), trs::TSeekOrigin::soCurrent) == at);
  }
  Check(stream.Seek(0, trs::TSeekOrigin::soEnd) == stream.Size());
  char buffer[1];
  Check(stream.Read(buffer, 1) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);

  // Arbitrary text: the input as UTF-16 units, and as narrow text.
  std::u16string units(size / 2, u'\0');
  for (size_t i = 0; i < units.size(); ++i) units[i] = static_cast<char16_t>(data[2 * i] | data[2 * i + 1] << 8);
  CheckText(units);
  CheckText(trs::NarrowToWide(bytes));

  // A valid encoding of the bytes decodes back to them and reads back in pieces.
  trs::TBase64DecodeStream stream(trs::NarrowToWide(trs::Base64Encode(bytes)));
  Check(stream.Bytes() == bytes);
  CheckReads(stream, bytes);
  return 0;
}
