// PosKit.dll, the point-of-sale device library (device settings, cash box, customer
// display): its file name and the C exports the POS driver calls. Declarations only; the
// driver resolves them at run time and the stand-ins check their definitions against them.
#pragma once

#include <cstdint>

namespace PosKit {

inline constexpr char FileName[] = "PosKit.dll";

using ShowPosCfgFn = void(int32_t zero) noexcept;
using HidePageFn = void(int32_t page) noexcept;
using ShowAllPagesFn = void() noexcept;
using PosOpenCashBoxFn = void() noexcept;
using PosScreenOutFn = void(int32_t number, const char* text) noexcept;
// Whether the library is showing a form of its own.
using GetIsShowedFormFn = uint8_t() noexcept;

}  // namespace PosKit
