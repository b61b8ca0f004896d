#include "CustomerDisplay.h"

#include <algorithm>

#include "PrintSettings.h"
#include "PrintTarget.h"
#include "TextCodec.h"

namespace printkit {

namespace {

constexpr int Cd5220Columns = 20;
constexpr size_t LedDigits = 8;

std::string Cd5220(const TCustomerDisplay& display, int number, const std::string& utf8) {
  const std::string text = EncodeText(FitCells(utf8, Cd5220Columns), display.Encoding);
  switch (number) {
    case 0: return std::string("\x1b@\x0c\x1bQA") + text + "\r";
    case 1: return "\x1bQA" + text + "\r";
    case 2: return "\x1bQB" + text + "\r";
    default: throw TPrintError("the customer display (cd5220) has lines 1 and 2 (0 clears), not " + std::to_string(number));
  }
}

// The digits, one point and a leading minus of `text`, cut from the left to 8 digits.
std::string LedNumber(const std::string& text) {
  std::string kept;
  for (const char c : text)
    if ((c >= '0' && c <= '9') || (c == '.' && kept.find('.') == std::string::npos) || (c == '-' && kept.empty()))
      kept += c;
  while (std::count_if(kept.begin(), kept.end(), [](char c) { return c >= '0' && c <= '9'; }) > static_cast<long>(LedDigits))
    kept.erase(kept.find_first_of("0123456789"), 1);
  return kept;
}

std::string Led8(int number, const std::string& utf8) {
  if (number < 0 || number > 4)
    throw TPrintError("the customer display (led8) has lamps 1 to 4 (0 puts them out), not " + std::to_string(number));
  return std::string("\x1bs") + static_cast<char>('0' + number) + "\x1bQA" + LedNumber(utf8) + "\r";
}

}  // namespace

TCustomerDisplay CustomerDisplayFrom(const TPrintSettings& settings) {
  TCustomerDisplay display;
  display.Device = settings.Text("display", "device");
  display.Baud = settings.Number("display", "baud", 2400);
  display.Protocol = settings.Text("display", "protocol", "cd5220");
  display.Encoding = settings.Text("display", "encoding", "GB18030");
  display.TimeLimitMs = std::clamp(settings.Number("display", "timeout_ms", 2000), 100, 60000);
  return display;
}

std::string DisplayCommands(const TCustomerDisplay& display, int number, const std::string& utf8) {
  if (display.Protocol == "led8") return Led8(number, utf8);
  if (display.Protocol == "cd5220") return Cd5220(display, number, utf8);
  throw TPrintError("unknown customer display protocol \"" + display.Protocol + "\" (expected cd5220 or led8)");
}

}  // namespace printkit
