// Fuzz target: the print kit's settings reader and its column fitting, on arbitrary bytes.
// A parsed file written out and read again is the same file, and every key it lists is
// found; text cut into pieces of n columns gives back the whole text, no piece wider than
// n; a padded text is exactly n columns; encoding for the printer never fails.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "PrintSettings.h"
#include "TextCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);

  const printkit::TIniFile file = printkit::TIniFile::Parse(text);
  const std::string written = file.Text();
  if (printkit::TIniFile::Parse(written).Text() != written) std::abort();
  for (const std::string& section : file.Sections())
    for (const auto& [key, value] : file.Entries(section)) {
      const std::string* found = file.Find(section, key);
      if (found == nullptr || *found != value) std::abort();
    }

  const int columns = size == 0 ? 2 : 2 + data[0] % 40;
  std::string joined;
  for (const std::string& piece : printkit::WrapCells(text, columns)) {
    if (printkit::TextCells(piece) > columns) std::abort();
    joined += piece;
  }
  if (joined != text) std::abort();
  if (printkit::TextCells(printkit::PadCells(text, columns, printkit::TAlign::Center)) != columns) std::abort();
  (void)printkit::EncodeText(text, "GB18030");
  return 0;
}
