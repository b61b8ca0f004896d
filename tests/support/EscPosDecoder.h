// Reads ESC/POS bytes back as a receipt printer would print them: lines of text with their
// alignment, emphasis, size and width in columns, the cut and the drawer pulses. A command
// it does not know is reported, not skipped, so a test sees every byte accounted for.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace trs::test {

struct TPrintedLine {
  std::string Text;  // UTF-8
  int Align = 0;     // 0 left, 1 centre, 2 right
  bool Bold = false;
  bool Large = false;
  int Columns = 0;   // columns taken: 1 per ASCII character, 2 per other, doubled when large
};

struct TPrintedReceipt {
  bool Initialized = false;  // starts with ESC @
  bool ChineseMode = false;  // FS &
  std::vector<TPrintedLine> Lines;
  std::string Cut;  // "partial", "full" or ""
  std::vector<std::array<int, 3>> DrawerPulses;
  std::string Error;  // the first thing not understood, with its offset
  int WidestLine() const;
  std::vector<std::string> Texts() const;
};

TPrintedReceipt DecodeEscPos(std::string_view bytes, const std::string& encoding = "GB18030");

}  // namespace trs::test
