#include "EscPos.h"

#include <algorithm>
#include <cstdio>

#include "PrintSettings.h"

namespace printkit {

namespace {

char Byte(int value) { return static_cast<char>(static_cast<unsigned char>(value)); }

std::string Command(std::initializer_list<int> bytes) {
  std::string command;
  for (const int value : bytes) command += Byte(value);
  return command;
}

int AlignCode(TAlign align) { return align == TAlign::Center ? 1 : align == TAlign::Right ? 2 : 0; }

}  // namespace

std::string EscPosReceipt(const TReceipt& receipt, const std::string& encoding) {
  std::string bytes = std::string(escpos::Initialize) + escpos::ChineseMode;
  for (const TReceiptLine& line : receipt.Lines) {
    bytes += Command({0x1b, 'a', AlignCode(line.Align)});
    if (line.Bold) bytes += Command({0x1b, 'E', 1});
    if (line.Large) bytes += Command({0x1d, '!', 0x11});
    bytes += EncodeText(line.Text, encoding);
    bytes += '\n';
    if (line.Large) bytes += Command({0x1d, '!', 0});
    if (line.Bold) bytes += Command({0x1b, 'E', 0});
  }
  bytes += Command({0x1b, 'a', 0});
  bytes += Command({0x1b, 'd', 4});  // the last line past the cutter
  if (receipt.Cut == TCut::Partial) bytes += Command({0x1d, 'V', 66, 3});
  if (receipt.Cut == TCut::Full) bytes += Command({0x1d, 'V', 65, 3});
  return bytes;
}

std::string EscPosDrawerPulse(int pin, int onUnits, int offUnits) {
  return Command({0x1b, 'p', pin == 1 ? 1 : 0, std::clamp(onUnits, 1, 255), std::clamp(offUnits, 1, 255)});
}

TReceiptPrinter ReceiptPrinterFrom(const TPrintSettings& settings) {
  TReceiptPrinter printer;
  printer.Target = settings.Text("receipt", "target");
  const int paper = settings.Number("receipt", "paper", 80);
  printer.Columns = std::clamp(settings.Number("receipt", "columns", paper == 58 ? 32 : 48), 16, 96);
  printer.Encoding = settings.Text("receipt", "encoding", "GB18030");
  const std::string cut = settings.Text("receipt", "cut", "partial");
  printer.Cut = cut == "none" ? TCut::None : cut == "full" ? TCut::Full : TCut::Partial;
  // drawer=m,t1,t2: the values of ESC p m t1 t2 as the printer's manual gives them.
  const std::string drawer = settings.Text("receipt", "drawer", "0,25,250");
  int pin = 0, on = 25, off = 250;
  if (std::sscanf(drawer.c_str(), "%d,%d,%d", &pin, &on, &off) == 3) {
    printer.DrawerPin = pin;
    printer.DrawerOn = on;
    printer.DrawerOff = off;
  }
  printer.PdfOutput = settings.Text("receipt", "format", "escpos") == "pdf";
  printer.TimeLimitMs = std::clamp(settings.Number("receipt", "timeout_ms", 5000), 100, 120000);
  return printer;
}

}  // namespace printkit
