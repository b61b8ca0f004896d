// Text for printers and displays: UTF-8 in, the device's encoding out, and the width in
// character cells that a receipt printer gives a text (one for ASCII, two for anything
// else, as Chinese printers print them).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace printkit {

// UTF-8 to `encoding` ("GB18030", "GBK", "ASCII", ...). A character the encoding lacks
// becomes "?"; invalid UTF-8 bytes do too. std::invalid_argument for an unknown encoding.
std::string EncodeText(std::string_view utf8, const std::string& encoding);
// The reverse, for decoders; the same substitution.
std::string DecodeText(std::string_view bytes, const std::string& encoding);

// The characters of a UTF-8 text, each as its bytes (an invalid byte stands alone).
std::vector<std::string_view> Utf8Characters(std::string_view utf8);
int CellWidth(std::string_view utf8Character);
int TextCells(std::string_view utf8);

// The longest start of `utf8` that fits in `cells`, never splitting a character.
std::string_view FitCells(std::string_view utf8, int cells);
// `utf8` cut into pieces of at most `cells` each, on character boundaries (at least one
// piece, possibly empty).
std::vector<std::string> WrapCells(std::string_view utf8, int cells);

enum class TAlign { Left, Center, Right };
// `utf8` fitted and padded with blanks to exactly `cells`.
std::string PadCells(std::string_view utf8, int cells, TAlign align);

}  // namespace printkit
