// rptengine.dll, the express report library: its file name, its one export GetIntf and the
// printer interface IktPrinter that GetIntf hands out. Declarations only; the express driver
// resolves GetIntf at run time and the stand-ins implement the interface against them.
#pragma once

#include <cstdint>

#include "platform/Ole.h"

// The library's printer object. Declared in the global namespace, as the library declares
// it, so that both sides name the class alike. Operations report failures by throwing a
// C++ exception derived from std::exception. Text arguments are BSTRs owned by the caller;
// an answer variable (`BSTR*`) holds "-1" on entry, and the library may free it and store
// another text (or null); whatever it holds afterwards belongs to the caller.
struct IktPrinter : IUnknown {
  virtual int32_t DesignReport(BSTR name) = 0;                   // place 1
  virtual int32_t Preview(BSTR name) = 0;                        // place 2
  virtual int32_t Print(BSTR name) = 0;                          // place 3
  virtual int32_t PrintEx(BSTR name, BSTR second) = 0;           // place 4
  virtual void GetPrinterNames(BSTR* answer) = 0;                // place 5
  virtual int16_t SetPrinter(BSTR name) = 0;                     // place 6
  virtual void GetCurPrinter(BSTR name, BSTR* answer) = 0;       // place 7
  virtual int32_t Set_DataFields(BSTR fields) = 0;               // place 8
  virtual int32_t Set_DisplayFields(BSTR fields) = 0;            // place 9
  virtual int32_t CreateNewTemplate(BSTR first, BSTR second) = 0;  // place 10
  virtual int16_t CheckTemplateExist(BSTR name) = 0;             // place 11
  virtual int32_t Set_PreviewPrintVisible(VARIANT_BOOL visible) = 0;  // place 12
  virtual int32_t Set_DesginPrintVisible(VARIANT_BOOL visible) = 0;   // place 13
  virtual int32_t LoadDataFromJson(BSTR json) = 0;               // place 14
};

namespace RptEngine {

inline constexpr char FileName[] = "rptengine.dll";

// Stores a counted IktPrinter reference into `*printer` (null on entry); null: none.
using GetIntfFn = void(IktPrinter** printer) noexcept;

}  // namespace RptEngine
