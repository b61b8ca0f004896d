// Strict base64 decoding into a seekable in-memory stream.
#include "drivers/Base64DecodeStream.h"

#include <array>
#include <cstring>
#include <limits>

#include "platform/Exceptions.h"
#include "platform/Text.h"

namespace trs {
namespace {

constexpr int8_t NotInAlphabet = -1;
constexpr int8_t Padding = -2;

constexpr std::array<int8_t, 256> MakeDecodeTable() {
  std::array<int8_t, 256> table{};
  for (auto& entry : table) entry = NotInAlphabet;
  constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  for (int i = 0; i < 64; ++i) table[static_cast<unsigned char>(alphabet[i])] = static_cast<int8_t>(i);
  table['='] = Padding;
  return table;
}

constexpr std::array<int8_t, 256> DecodeTable = MakeDecodeTable();

[[noreturn]] void ThrowBadCharacter(size_t index) {
  throw EConvertError(Format("Invalid character in DecodeToStream at position %zu.", index));
}

}  // namespace

std::string DecodeBase64Strict(std::string_view text) {
  if (text.size() % 4 != 0) throw EConvertError("Uneven size in DecodeToStream.");
  std::string bytes;
  bytes.reserve(text.size() / 4 * 3);
  for (size_t group = 0; group < text.size(); group += 4) {
    const bool last = group + 4 == text.size();
    int8_t sextets[4];
    int padding = 0;
    for (size_t i = 0; i < 4; ++i) {
      sextets[i] = DecodeTable[static_cast<unsigned char>(text[group + i])];
      if (sextets[i] == NotInAlphabet) ThrowBadCharacter(group + i);
      if (sextets[i] == Padding) {
        // "=" fills only the last one or two places of the last group.
        if (!last || i < 2) ThrowBadCharacter(group + i);
        ++padding;
      } else if (padding > 0) {
        ThrowBadCharacter(group + i);  // a character after "="
      }
    }
    const uint32_t bits = (static_cast<uint32_t>(sextets[0]) << 18) | (static_cast<uint32_t>(sextets[1]) << 12) |
                          (padding < 2 ? static_cast<uint32_t>(sextets[2]) << 6 : 0u) |
                          (padding < 1 ? static_cast<uint32_t>(sextets[3]) : 0u);
    bytes += static_cast<char>(bits >> 16);
    if (padding < 2) bytes += static_cast<char>((bits >> 8) & 0xFF);
    if (padding < 1) bytes += static_cast<char>(bits & 0xFF);
  }
  return bytes;
}

TBase64DecodeStream::TBase64DecodeStream(std::u16string_view text)
    : Data(DecodeBase64Strict(WideToNarrow(text))) {}

TBase64DecodeStream TBase64DecodeStream::FromNarrow(std::string_view text) {
  return TBase64DecodeStream(DecodeBase64Strict(text));
}

int64_t TBase64DecodeStream::Seek(int64_t offset, TSeekOrigin origin) {
  const int64_t base = origin == TSeekOrigin::soBeginning ? 0 : origin == TSeekOrigin::soCurrent ? Pos : Size();
  // base is never negative, so only a positive offset can overflow.
  if (offset > 0 && base > std::numeric_limits<int64_t>::max() - offset)
    throw EConvertError("Invalid stream position");
  const int64_t target = base + offset;
  if (target < 0) throw EConvertError("Invalid stream position");
  Pos = target;
  return Pos;
}

size_t TBase64DecodeStream::Read(void* buffer, size_t count) {
  if (Pos >= Size()) return 0;
  const size_t available = Data.size() - static_cast<size_t>(Pos);
  const size_t n = count < available ? count : available;
  if (n > 0) std::memcpy(buffer, Data.data() + Pos, n);
  Pos += static_cast<int64_t>(n);
  return n;
}

}  // namespace trs
