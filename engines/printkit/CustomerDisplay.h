// The customer display on a serial line, as the [display] section describes it:
//   device=/dev/ttyUSB0  baud=2400  protocol=cd5220|led8  encoding=GB18030
// Two command sets are spoken:
//   cd5220  two lines of 20 columns: number 1 writes the upper line, 2 the lower line, 0
//           clears the display and writes the upper line; anything else is an error.
//   led8    the 8-digit price displays with lamps: number 0 puts every lamp out, 1 lights
//           "price", 2 "total", 3 "collected", 4 "change"; the text's digits, point and
//           minus sign are shown (at most 8 digits, the rest cut from the left).
#pragma once

#include <string>

namespace printkit {

class TPrintSettings;

struct TCustomerDisplay {
  std::string Device;
  int Baud = 2400;
  std::string Protocol = "cd5220";
  std::string Encoding = "GB18030";
  int TimeLimitMs = 2000;
};

TCustomerDisplay CustomerDisplayFrom(const TPrintSettings& settings);

// The bytes that show `utf8` for `number`; TPrintError for a number the protocol lacks.
std::string DisplayCommands(const TCustomerDisplay& display, int number, const std::string& utf8);

}  // namespace printkit
