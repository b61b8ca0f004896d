// BillKit.dll, the bill printing library: its file name and the C exports the bill print
// driver calls. Declarations only; the driver resolves them at run time and the stand-ins
// check their definitions against them at compile time.
#pragma once

#include <cstdint>

#include "platform/Ole.h"

namespace BillKit {

inline constexpr char FileName[] = "BillKit.dll";

// Prints one part of a single-table bill (1 head, 2 detail, 3 tail). `zero` is always 0;
// `packet` (by value, still owned by the caller) holds the part's binary data packet. True
// lets the next part follow.
using PosBillPrintFn = uint8_t(int32_t zero, const char* name, VARIANT packet, int32_t part,
                               uint8_t flag) noexcept;
// Prints a bill from the bill files just written to the data directory.
using MultiTableBillPrintFn = void(const char* name, uint8_t flag) noexcept;
using SetDesignTableCountFn = void(int32_t count) noexcept;
using PosPreviewFn = void(const char* name) noexcept;
using GetBillPrintCountFn = int32_t() noexcept;
using SetIsPrintLimitFn = void(uint8_t limit) noexcept;
using SetPrintBillLimitTimesFn = void(int32_t times) noexcept;
// Whether the library is showing a form of its own.
using GetIsShowedFormFn = uint8_t() noexcept;

}  // namespace BillKit
