// A receipt as lines of text, before it becomes printer commands or a PDF page: what the
// bill engine lays out and the receipt printer's target decides how to deliver.
#pragma once

#include <string>
#include <vector>

#include "TextCodec.h"

namespace printkit {

struct TReceiptLine {
  std::string Text;  // UTF-8, already fitted to the paper's columns (half of them when Large)
  TAlign Align = TAlign::Left;
  bool Bold = false;
  bool Large = false;  // double width and height
};

enum class TCut { None, Partial, Full };

struct TReceipt {
  std::vector<TReceiptLine> Lines;
  int Columns = 48;
  TCut Cut = TCut::Partial;
};

// The receipt printer as the [receipt] section describes it.
struct TReceiptPrinter {
  std::string Target;           // see PrintTarget.h; empty: PDF files in the default folder
  int Columns = 48;             // 32 at 58 mm, 42 or 48 at 80 mm
  std::string Encoding = "GB18030";  // or GBK, for printers that refuse 4-byte codes
  TCut Cut = TCut::Partial;
  int DrawerPin = 0;            // 0 pin 2, 1 pin 5
  int DrawerOn = 25;            // pulse on and off, in 2 ms units
  int DrawerOff = 250;
  int TimeLimitMs = 5000;
  bool PdfOutput = false;       // format=pdf: a PDF page even to a CUPS queue
};

class TPrintSettings;
// The [receipt] section; columns follow "paper" (58 or 80 mm) unless given themselves.
TReceiptPrinter ReceiptPrinterFrom(const TPrintSettings& settings);

}  // namespace printkit
