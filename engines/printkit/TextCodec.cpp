#include "TextCodec.h"

#include <iconv.h>

#include <cerrno>
#include <stdexcept>

namespace printkit {

namespace {

class TIconv {
 public:
  TIconv(const std::string& to, const std::string& from) : Handle(::iconv_open(to.c_str(), from.c_str())) {
    if (Handle == reinterpret_cast<iconv_t>(-1))
      throw std::invalid_argument("unknown text encoding " + (to == "UTF-8" ? from : to));
  }
  ~TIconv() { ::iconv_close(Handle); }
  TIconv(const TIconv&) = delete;
  TIconv& operator=(const TIconv&) = delete;

  // Converts one piece whole; false when the encoding cannot take it.
  bool Convert(std::string_view in, std::string& out) {
    char buffer[64];
    char* input = const_cast<char*>(in.data());
    size_t inputLeft = in.size();
    const size_t start = out.size();
    while (inputLeft > 0) {
      char* output = buffer;
      size_t outputLeft = sizeof buffer;
      const size_t result = ::iconv(Handle, &input, &inputLeft, &output, &outputLeft);
      out.append(buffer, static_cast<size_t>(output - buffer));
      if (result == static_cast<size_t>(-1) && errno != E2BIG) {
        out.resize(start);
        ::iconv(Handle, nullptr, nullptr, nullptr, nullptr);
        return false;
      }
    }
    return true;
  }

 private:
  iconv_t Handle;
};

size_t Utf8Length(unsigned char lead) {
  if (lead < 0x80) return 1;
  if ((lead & 0xE0) == 0xC0) return 2;
  if ((lead & 0xF0) == 0xE0) return 3;
  if ((lead & 0xF8) == 0xF0) return 4;
  return 1;
}

}  // namespace

std::vector<std::string_view> Utf8Characters(std::string_view utf8) {
  std::vector<std::string_view> characters;
  for (size_t at = 0; at < utf8.size();) {
    size_t length = Utf8Length(static_cast<unsigned char>(utf8[at]));
    if (at + length > utf8.size()) length = 1;
    for (size_t i = 1; i < length; ++i)
      if ((static_cast<unsigned char>(utf8[at + i]) & 0xC0) != 0x80) length = 1;
    characters.push_back(utf8.substr(at, length));
    at += length;
  }
  return characters;
}

std::string EncodeText(std::string_view utf8, const std::string& encoding) {
  TIconv converter(encoding, "UTF-8");
  std::string out;
  out.reserve(utf8.size());
  // ASCII passes through as it is; anything else converts a character at a time, so one
  // character the encoding lacks costs that character only.
  for (const std::string_view character : Utf8Characters(utf8)) {
    if (character.size() == 1 && static_cast<unsigned char>(character[0]) < 0x80) {
      out += character;
    } else if (!converter.Convert(character, out)) {
      out += '?';
    }
  }
  return out;
}

std::string DecodeText(std::string_view bytes, const std::string& encoding) {
  TIconv converter("UTF-8", encoding);
  std::string out;
  for (size_t at = 0; at < bytes.size();) {
    if (static_cast<unsigned char>(bytes[at]) < 0x80) {
      out += bytes[at++];
      continue;
    }
    // A multi-byte character of GB18030 is 2 or 4 bytes.
    bool done = false;
    for (const size_t length : {size_t{2}, size_t{4}}) {
      if (at + length <= bytes.size() && converter.Convert(bytes.substr(at, length), out)) {
        at += length;
        done = true;
        break;
      }
    }
    if (!done) {
      out += '?';
      ++at;
    }
  }
  return out;
}

int CellWidth(std::string_view utf8Character) {
  return utf8Character.size() == 1 && static_cast<unsigned char>(utf8Character[0]) < 0x80 ? 1 : 2;
}

int TextCells(std::string_view utf8) {
  int cells = 0;
  for (const std::string_view character : Utf8Characters(utf8)) cells += CellWidth(character);
  return cells;
}

std::string_view FitCells(std::string_view utf8, int cells) {
  size_t bytes = 0;
  int used = 0;
  for (const std::string_view character : Utf8Characters(utf8)) {
    if (used + CellWidth(character) > cells) break;
    used += CellWidth(character);
    bytes += character.size();
  }
  return utf8.substr(0, bytes);
}

std::vector<std::string> WrapCells(std::string_view utf8, int cells) {
  std::vector<std::string> pieces;
  if (cells < 2) cells = 2;  // room for one wide character, so every piece makes progress
  do {
    const std::string_view piece = FitCells(utf8, cells);
    pieces.emplace_back(piece);
    utf8.remove_prefix(piece.size());
  } while (!utf8.empty());
  return pieces;
}

std::string PadCells(std::string_view utf8, int cells, TAlign align) {
  const std::string_view fitted = FitCells(utf8, cells);
  const int blank = cells - TextCells(fitted);
  const int before = align == TAlign::Right ? blank : align == TAlign::Center ? blank / 2 : 0;
  return std::string(static_cast<size_t>(before), ' ') + std::string(fitted) +
         std::string(static_cast<size_t>(blank - before), ' ');
}

}  // namespace printkit
