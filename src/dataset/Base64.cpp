// Base64 for the blob values of XML packets.
#include "dataset/Base64.h"

#include <array>
#include <cstdint>

namespace trs {
namespace {

constexpr char Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::array<int8_t, 256> MakeDecodeTable() {
  std::array<int8_t, 256> table{};
  for (auto& entry : table) entry = -1;
  for (int i = 0; i < 64; ++i) table[static_cast<unsigned char>(Alphabet[i])] = static_cast<int8_t>(i);
  return table;
}
constexpr auto DecodeTable = MakeDecodeTable();

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

std::string Base64Encode(std::string_view bytes) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const uint32_t group = static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])) << 16 |
                           static_cast<uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8 |
                           static_cast<unsigned char>(bytes[i + 2]);
    out += Alphabet[group >> 18];
    out += Alphabet[(group >> 12) & 63];
    out += Alphabet[(group >> 6) & 63];
    out += Alphabet[group & 63];
  }
  const size_t rest = bytes.size() - i;
  if (rest > 0) {
    uint32_t group = static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])) << 16;
    if (rest == 2) group |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8;
    out += Alphabet[group >> 18];
    out += Alphabet[(group >> 12) & 63];
    out += rest == 2 ? Alphabet[(group >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

std::optional<std::string> Base64Decode(std::string_view text) {
  std::string out;
  out.reserve(text.size() / 4 * 3 + 3);
  uint32_t group = 0;
  int count = 0;      // characters in the current group
  int padding = 0;    // "=" seen; only more "=" and blanks may follow
  for (const char c : text) {
    if (IsBlank(c)) continue;
    if (c == '=') {
      ++padding;
      continue;
    }
    const int value = DecodeTable[static_cast<unsigned char>(c)];
    if (value < 0 || padding > 0) return std::nullopt;
    group = group << 6 | static_cast<uint32_t>(value);
    if (++count == 4) {
      out += static_cast<char>(group >> 16);
      out += static_cast<char>(group >> 8);
      out += static_cast<char>(group);
      group = 0;
      count = 0;
    }
  }
  // A lone character carries too few bits for a byte; padding must complete the group.
  if (count == 1 || (padding > 0 && count + padding != 4)) return std::nullopt;
  if (count == 2) out += static_cast<char>(group >> 4);
  if (count == 3) {
    out += static_cast<char>(group >> 10);
    out += static_cast<char>(group >> 2);
  }
  return out;
}

}  // namespace trs
