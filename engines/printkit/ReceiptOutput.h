// Sending a receipt to the receipt printer's target: ESC/POS bytes to a printer, or a PDF
// page to a PDF folder (and to a CUPS queue when the section says format=pdf, for an
// ordinary office printer).
#pragma once

#include <string>

#include "Receipt.h"

namespace printkit {

// Answers where the receipt went; TPrintError on failure.
std::string PrintReceipt(const TReceiptPrinter& printer, const TReceipt& receipt, const std::string& title);

// The receipt drawn as one PDF page as wide as the paper, in a fixed-pitch font where a
// Chinese character takes two columns, as on the printer.
std::string ReceiptPdf(const TReceipt& receipt);

}  // namespace printkit
