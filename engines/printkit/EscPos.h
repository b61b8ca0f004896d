// ESC/POS commands for receipt printers: a receipt as bytes, and the cash drawer pulse.
#pragma once

#include <string>

#include "Receipt.h"

namespace printkit {

namespace escpos {
inline constexpr char Initialize[] = "\x1b@";
inline constexpr char ChineseMode[] = "\x1c&";
}  // namespace escpos

// The whole receipt: initialise, Chinese mode, every line with its alignment, emphasis and
// size, a feed so the last line clears the cutter, then the cut.
std::string EscPosReceipt(const TReceipt& receipt, const std::string& encoding);

// ESC p m t1 t2: a pulse on the drawer pin (m 0 pin 2, 1 pin 5), on for t1 and off for t2
// units of 2 ms, as printer manuals give them (0, 25, 250: 50 ms on, 500 ms off).
std::string EscPosDrawerPulse(int pin, int onUnits, int offUnits);

}  // namespace printkit
