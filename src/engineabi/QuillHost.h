// QuillHost.ocx, the report host control: its file name, the creation export, the control's
// default interface with every place up to the last one the V11 driver calls, and the
// dispatch identifiers of its properties. Declarations only; the driver resolves the export
// at run time and the stand-in implements the interface from these declarations.
#pragma once

#include <cstdint>

#include "platform/Ole.h"

// The default interface. Places count from 1 after IDispatch's seven; the places the
// program never calls keep their slots as placeholders. A method returns its status; a
// result comes through the last parameter. BSTR parameters stay owned by the caller.
struct IReportHostControl : IDispatch {
  virtual HRESULT Design() = 0;  // 1
  virtual HRESULT Probe() = 0;  // 2
  virtual HRESULT zrHost_Place3() = 0;
  virtual HRESULT zrHost_Place4() = 0;
  virtual HRESULT zrHost_Place5() = 0;
  virtual HRESULT zrHost_Place6() = 0;
  virtual HRESULT ClearDataSet() = 0;  // 7
  virtual HRESULT SetMasterDetailRelation(BSTR master, BSTR detail) = 0;  // 8
  virtual HRESULT Preview() = 0;  // 9
  virtual HRESULT Close() = 0;  // 10
  virtual HRESULT Print() = 0;  // 11
  virtual HRESULT PrintWithoutDialog() = 0;  // 12
  virtual HRESULT zrHost_Place13() = 0;
  virtual HRESULT zrHost_Place14() = 0;
  virtual HRESULT zrHost_Place15() = 0;
  virtual HRESULT CreateTemplate(BSTR name, int32_t kind) = 0;  // 16
  virtual HRESULT SetTempatePageMargin(int32_t left, int32_t top, int32_t right, int32_t bottom) = 0;  // 17
  virtual HRESULT ClearTemplatePages() = 0;  // 18
  virtual HRESULT AddTemplatePage(int32_t* result) = 0;  // 19
  virtual HRESULT AddTemplateTable(int32_t page, int32_t* result) = 0;  // 20
  virtual HRESULT AddTemplateTableRow(int32_t page, int32_t table, int32_t* result) = 0;  // 21
  virtual HRESULT AddTemplateTableCell(int32_t page, int32_t table, int32_t row, BSTR text, int32_t width, double value, int32_t* result) = 0;  // 22
  virtual HRESULT SetTemplateTableCellTextAlign(int32_t a0, int32_t a1, int32_t a2, int32_t a3, int32_t a4, int32_t a5) = 0;  // 23
  virtual HRESULT SetTemplateTableCellFont(int32_t a0, int32_t a1, int32_t a2, int32_t a3, BSTR fontName, int32_t size, VARIANT_BOOL b0, VARIANT_BOOL b1, VARIANT_BOOL b2) = 0;  // 24
  virtual HRESULT MergeTemplateTableCell(int32_t a0, int32_t a1, int32_t a2, int32_t a3, int32_t a4, int32_t a5) = 0;  // 25
  virtual HRESULT SaveTemplate() = 0;  // 26
  virtual HRESULT zrHost_Place27() = 0;
  virtual HRESULT LoadDataFromQuill3(BSTR data, int32_t option, int32_t* result) = 0;  // 28
  virtual HRESULT ExportData(int32_t kind, int32_t* result) = 0;  // 29
  virtual HRESULT SetTemplateTableCellLineVisible(int32_t a0, int32_t a1, int32_t a2, int32_t a3, VARIANT_BOOL b0, VARIANT_BOOL b1, VARIANT_BOOL b2, VARIANT_BOOL b3) = 0;  // 30
  virtual HRESULT SetTemplateTableRowHeight(int32_t a0, int32_t a1, int32_t a2, double height) = 0;  // 31
  virtual HRESULT SetTemplateTableCellKind(int32_t a0, int32_t a1, int32_t a2, int32_t a3, int32_t a4, double value) = 0;  // 32
  virtual HRESULT zrHost_Place33() = 0;
  virtual HRESULT zrHost_Place34() = 0;
  virtual HRESULT zrHost_Place35() = 0;
  virtual HRESULT zrHost_Place36() = 0;
  virtual HRESULT zrHost_Place37() = 0;
  virtual HRESULT zrHost_Place38() = 0;
  virtual HRESULT zrHost_Place39() = 0;
  virtual HRESULT zrHost_Place40() = 0;
  virtual HRESULT zrHost_Place41() = 0;
  virtual HRESULT zrHost_Place42() = 0;
  virtual HRESULT zrHost_Place43() = 0;
  virtual HRESULT zrHost_Place44() = 0;
  virtual HRESULT zrHost_Place45() = 0;
  virtual HRESULT zrHost_Place46() = 0;
  virtual HRESULT zrHost_Place47() = 0;
  virtual HRESULT zrHost_Place48() = 0;
  virtual HRESULT zrHost_Place49() = 0;
  virtual HRESULT zrHost_Place50() = 0;
  virtual HRESULT zrHost_Place51() = 0;
  virtual HRESULT Execute() = 0;  // 52
  virtual HRESULT zrHost_Place53() = 0;
  virtual HRESULT zrHost_Place54() = 0;
  virtual HRESULT zrHost_Place55() = 0;
  virtual HRESULT zrHost_Place56() = 0;
  virtual HRESULT zrHost_Place57() = 0;
  virtual HRESULT zrHost_Place58() = 0;
  virtual HRESULT ExpandTemplateTableRow(int32_t a0, int32_t a1, BSTR title, BSTR names, VARIANT_BOOL b0, VARIANT_BOOL b1, VARIANT_BOOL b2) = 0;  // 59
  virtual HRESULT zrHost_Place60() = 0;
  virtual HRESULT zrHost_Place61() = 0;
  virtual HRESULT zrHost_Place62() = 0;
  virtual HRESULT zrHost_Place63() = 0;
  virtual HRESULT AddTemplateChart(int32_t a0, int32_t a1, int32_t a2, int32_t a3, BSTR t0, BSTR t1, BSTR t2, VARIANT_BOOL b0, VARIANT_BOOL b1, double r0, double r1, int32_t* result) = 0;  // 64
  virtual HRESULT zrHost_Place65() = 0;
  virtual HRESULT SetTemplateTableCellFieldFormat(int32_t a0, int32_t a1, int32_t a2, int32_t a3, int32_t a4, int32_t a5) = 0;  // 66
  virtual HRESULT AppendReportStyle(BSTR name, BSTR style, int32_t* result) = 0;  // 67
  virtual HRESULT SetTemplateTableCellForNumber(int32_t a0, int32_t a1, int32_t a2, int32_t a3, VARIANT_BOOL b0) = 0;  // 68
  virtual HRESULT zrHost_Place69() = 0;
  virtual HRESULT AppendReportStyles(BSTR styles, int32_t* result) = 0;  // 70
};

namespace QuillHost {

inline constexpr char FileName[] = "QuillHost.ocx";

// Creates one control instance; `*control` is null on entry and receives a counted
// reference to the control's dispatch object.
using CreateReportHostControlFn = HRESULT(IDispatch** control) noexcept;
inline constexpr char CreateReportHostControlName[] = "CreateReportHostControl";

inline constexpr GUID IID_IReportHostControl = {
    0xb6f08d03, 0x70bd, 0x413a, {0xbf, 0xd5, 0x0e, 0xef, 0x1e, 0x33, 0x0b, 0x34}};

// Property calls through IDispatch::Invoke: the flags of a get and of a put, the named
// argument a put carries, and the locale passed (the user's default).
inline constexpr uint16_t PropertyGetFlags = 2;
inline constexpr uint16_t PropertyPutFlags = 4;
inline constexpr int32_t PropertyPutArgument = -3;
inline constexpr uint32_t UserDefaultLocale = 0x0400;

// The properties' dispatch identifiers.
enum TPropertyId : int32_t {
  TemplateName = 213,
  Version = 227,
  StyleNames = 233,
  StyleIndex = 234,
  VersionInfo = 235,
  PrintTimes = 249,
  PrintTimesLimit = 252,
  QuickPrint = 253,
  AllowExport = 254,
  AllowPrint = 255,
  ExportTimes = 256,
  LanguageKind = 257,
  MasterDetailKeyFieldVisible = 259,
  DefaultUsePosPrint = 260,
  UseQuillPos = 262,
  MacAddress = 264,
  AllowSaveBaseStyle = 270,
};

}  // namespace QuillHost
