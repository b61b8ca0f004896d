// BarcodeKit.dll, the barcode label library: its file name and the C exports the barcode
// driver calls. Declarations only; the driver resolves them at run time and the stand-ins
// check their definitions against them at compile time.
#pragma once

#include <cstdint>

#include "platform/Ole.h"

namespace BarcodeKit {

inline constexpr char FileName[] = "BarcodeKit.dll";

// The first version whose PrintBarOutEx takes the style name as a second argument.
inline constexpr char StyleNameVersion[] = "1.8.8.1009";

// Hands the library a configuration table: `zero` is always 0, `packet` a byte-array
// variant holding a binary data packet, owned by the caller.
using BarConfigCdsFn = void(int32_t zero, VARIANT* packet) noexcept;
// Prints; the style name is null while none is set (1.8.8.1009 and later).
using PrintBarOutExFn = uint8_t(int32_t number, const char* styleName) noexcept;
// The same export in earlier versions, with one argument.
using PrintBarOutExOldFn = uint8_t(int32_t number) noexcept;
// `*names` is null on entry; the library allocates the text and the caller frees it.
using GetStyleNamesFn = void(BSTR* names) noexcept;
using SetStartPrintPositionFn = void(int32_t position) noexcept;
// Whether the library is showing a form of its own.
using GetIsShowedFormFn = uint8_t() noexcept;

}  // namespace BarcodeKit
