#include "support/EscPosDecoder.h"

#include <iconv.h>

#include <algorithm>

namespace trs::test {

namespace {

std::string ToUtf8(const std::string& bytes, const std::string& encoding) {
  iconv_t converter = ::iconv_open("UTF-8", encoding.c_str());
  std::string out(bytes.size() * 4 + 4, '\0');
  char* in = const_cast<char*>(bytes.data());
  size_t inLeft = bytes.size();
  char* outAt = out.data();
  size_t outLeft = out.size();
  const size_t result = ::iconv(converter, &in, &inLeft, &outAt, &outLeft);
  ::iconv_close(converter);
  if (result == static_cast<size_t>(-1)) return "<undecodable>";
  out.resize(out.size() - outLeft);
  return out;
}

int Columns(const std::string& utf8, bool large) {
  int columns = 0;
  for (const unsigned char c : utf8)
    if ((c & 0xC0) != 0x80) columns += c < 0x80 ? 1 : 2;
  return large ? columns * 2 : columns;
}

}  // namespace

int TPrintedReceipt::WidestLine() const {
  int widest = 0;
  for (const TPrintedLine& line : Lines) widest = std::max(widest, line.Columns);
  return widest;
}

std::vector<std::string> TPrintedReceipt::Texts() const {
  std::vector<std::string> texts;
  for (const TPrintedLine& line : Lines) texts.push_back(line.Text);
  return texts;
}

TPrintedReceipt DecodeEscPos(std::string_view bytes, const std::string& encoding) {
  TPrintedReceipt receipt;
  int align = 0;
  bool bold = false, large = false;
  std::string pending;
  const auto need = [&](size_t at, size_t count) { return at + count <= bytes.size(); };
  const auto byte = [&](size_t at) { return static_cast<unsigned char>(bytes[at]); };
  for (size_t at = 0; at < bytes.size() && receipt.Error.empty();) {
    const unsigned char c = byte(at);
    const auto fail = [&] { receipt.Error = "unknown command at " + std::to_string(at); };
    if (c == '\n') {
      const std::string text = ToUtf8(pending, encoding);
      receipt.Lines.push_back({text, align, bold, large, Columns(text, large)});
      pending.clear();
      ++at;
    } else if (c == 0x1b && need(at, 2)) {
      const unsigned char command = byte(at + 1);
      if (command == '@') {
        receipt.Initialized = at == 0 || receipt.Initialized;
        align = 0, bold = false, large = false;
        at += 2;
      } else if (command == 'a' && need(at, 3)) {
        align = byte(at + 2), at += 3;
      } else if (command == 'E' && need(at, 3)) {
        bold = byte(at + 2) != 0, at += 3;
      } else if (command == 'd' && need(at, 3)) {
        at += 3;  // feed: blank paper, no text
      } else if (command == 'p' && need(at, 5)) {
        receipt.DrawerPulses.push_back({byte(at + 2), byte(at + 3), byte(at + 4)});
        at += 5;
      } else {
        fail();
      }
    } else if (c == 0x1c && need(at, 2) && byte(at + 1) == '&') {
      receipt.ChineseMode = true, at += 2;
    } else if (c == 0x1d && need(at, 3) && byte(at + 1) == '!') {
      large = byte(at + 2) != 0, at += 3;
    } else if (c == 0x1d && need(at, 4) && byte(at + 1) == 'V') {
      receipt.Cut = byte(at + 2) == 66 ? "partial" : byte(at + 2) == 65 ? "full" : "?";
      at += 4;
    } else if (c < 0x20) {
      fail();
    } else {
      pending += static_cast<char>(c);
      ++at;
    }
  }
  if (!pending.empty() && receipt.Error.empty()) receipt.Error = "text after the last line feed";
  return receipt;
}

}  // namespace trs::test
