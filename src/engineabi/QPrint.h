// QPrint.Dll, the report V10 engine: its file name, its one export and the five interfaces
// the V10 driver talks to it through. Declarations only; the driver resolves CreateReport at
// run time and the stand-in implements these interfaces.
//
// Every interface lists all of its own places, in order, so that each operation sits at its
// slot of the virtual table: a place the program never calls is a placeholder named after
// its interface and place. Failures of an operation are C++ exceptions derived from
// std::exception (what(): the message in narrow text); CreateReport itself never throws.
#pragma once

#include <cstdint>

#include "platform/Ole.h"

namespace QPrint {

inline constexpr char FileName[] = "QPrint.Dll";
inline constexpr char CreateReportName[] = "CreateReport";

}  // namespace QPrint

// Narrow text of at most 255 bytes behind a length byte, not zero-terminated. An input text
// is passed as `const ShortString&`; a text result is written by the engine into a
// caller-supplied ShortString, the operation's last parameter.
struct ShortString {
  uint8_t length;
  char text[255];
};
static_assert(sizeof(ShortString) == 256);

struct IzrTemplateIntf;
struct IzrLineIntf;
struct IzrCellIntf;

// An interface result (`I...** result`) is null on entry and receives a reference counted
// for the caller.

// The engine report.
struct IzrReport : IUnknown {
  /*  1 */ virtual void zrReport_Place1() = 0;
  /*  2 */ virtual void zrReport_Place2() = 0;
  /*  3 */ virtual void zrReport_Place3() = 0;
  /*  4 */ virtual void GetTemplateName(ShortString& result) = 0;
  /*  5 */ virtual void SetTemplateName(const ShortString& name) = 0;
  /*  6 */ virtual void GetMainData(VARIANT& result) = 0;
  /*  7 */ virtual void zrReport_Place7() = 0;
  /*  8 */ virtual void zrReport_Place8() = 0;
  /*  9 */ virtual void zrReport_Place9() = 0;
  /* 10 */ virtual void zrReport_Place10() = 0;
  /* 11 */ virtual void zrReport_Place11() = 0;
  /* 12 */ virtual void zrReport_Place12() = 0;
  /* 13 */ virtual void zrReport_Place13() = 0;
  /* 14 */ virtual void zrReport_Place14() = 0;
  /* 15 */ virtual void zrReport_Place15() = 0;
  /* 16 */ virtual void zrReport_Place16() = 0;
  /* 17 */ virtual int32_t GetLastResult() = 0;
  /* 18 */ virtual void zrReport_Place18() = 0;
  /* 19 */ virtual void zrReport_Place19() = 0;
  /* 20 */ virtual void Print() = 0;
  /* 21 */ virtual void Preview() = 0;
  /* 22 */ virtual void Design() = 0;
  /* 23 */ virtual void Execute() = 0;
  /* 24 */ virtual void zrReport_Place24() = 0;
  /* 25 */ virtual void GetVersionInfo(ShortString& result) = 0;
  /* 26 */ virtual int32_t GetStyleIndex() = 0;
  /* 27 */ virtual void SetStyleIndex(int32_t index) = 0;
  /* 28 */ virtual const char* ReadStyleNames() = 0;
  /* 29 */ virtual void NewTemplate(IzrTemplateIntf** result) = 0;
  /* 30 */ virtual void CloseTemplate(IzrTemplateIntf* templ) = 0;
  /* 31 */ virtual void BeginAction() = 0;
  /* 32 */ virtual void OpenTemplate() = 0;
  /* 33 */ virtual void GetStyleFileName(int32_t style, ShortString& result) = 0;
  /* 34 */ virtual void ExportData() = 0;
  /* 35 */ virtual void zrReport_Place35() = 0;
  /* 36 */ virtual void zrReport_Place36() = 0;
  /* 37 */ virtual void zrReport_Place37() = 0;
  /* 38 */ virtual void zrReport_Place38() = 0;
  /* 39 */ virtual void zrReport_Place39() = 0;
  /* 40 */ virtual void zrReport_Place40() = 0;
  /* 41 */ virtual void zrReport_Place41() = 0;
  /* 42 */ virtual void zrReport_Place42() = 0;
  /* 43 */ virtual void zrReport_Place43() = 0;
  /* 44 */ virtual void zrReport_Place44() = 0;
  /* 45 */ virtual void zrReport_Place45() = 0;
  /* 46 */ virtual void zrReport_Place46() = 0;
  /* 47 */ virtual void LoadData(const VARIANT& data, int32_t n, int32_t third) = 0;
  /* 48 */ virtual void zrReport_Place48() = 0;
  /* 49 */ virtual void SetDataDirName(const ShortString& name) = 0;
  /* 50 */ virtual void zrReport_Place50() = 0;
  /* 51 */ virtual int32_t GetPrintTimes() = 0;
  /* 52 */ virtual int32_t GetExportTimes() = 0;
  /* 53 */ virtual void SetPrintTimesLimit(int32_t limit) = 0;
  /* 54 */ virtual uint8_t BeginBatchPrint() = 0;
  /* 55 */ virtual void EndBatchPrint() = 0;
  /* 56 */ virtual void SetAllowExport(uint8_t allow) = 0;
  /* 57 */ virtual void zrReport_Place57() = 0;
  /* 58 */ virtual void PrintWithoutDialog() = 0;
  /* 59 */ virtual void zrReport_Place59() = 0;
  /* 60 */ virtual void SetAllowPrint(uint8_t allow) = 0;
  /* 61 */ virtual void zrReport_Place61() = 0;
  /* 62 */ virtual void SetAllowPreviewEdit(uint8_t allow) = 0;
  /* 63 */ virtual void zrReport_Place63() = 0;
  /* 64 */ virtual void zrReport_Place64() = 0;
  /* 65 */ virtual void zrReport_Place65() = 0;
  /* 66 */ virtual void SetDefaultUseNewDesignForm(uint8_t use) = 0;
  /* 67 */ virtual void PrepareAction(uint8_t prepare) = 0;
  /* 68 */ virtual int16_t GetIsBatchPrinting() = 0;
  /* 69 */ virtual void zrReport_Place69() = 0;
};

// The layout part of a template; reached only through an IzrTemplateIntf. The margin
// setters are called in the order of setreportmargin's items: 11, 7, 9, 13.
struct IzrModelIntf : IUnknown {
  /*  1 */ virtual void zrModel_Place1() = 0;
  /*  2 */ virtual void zrModel_Place2() = 0;
  /*  3 */ virtual void SetCreateOption(int32_t option) = 0;
  /*  4 */ virtual void zrModel_Place4() = 0;
  /*  5 */ virtual void zrModel_Place5() = 0;
  /*  6 */ virtual void zrModel_Place6() = 0;
  /*  7 */ virtual void SetMargin7(int32_t value) = 0;   // second item of setreportmargin
  /*  8 */ virtual void zrModel_Place8() = 0;
  /*  9 */ virtual void SetMargin9(int32_t value) = 0;   // third item
  /* 10 */ virtual void zrModel_Place10() = 0;
  /* 11 */ virtual void SetMargin11(int32_t value) = 0;  // first item
  /* 12 */ virtual void zrModel_Place12() = 0;
  /* 13 */ virtual void SetMargin13(int32_t value) = 0;  // fourth item
  /* 14 */ virtual void zrModel_Place14() = 0;
  /* 15 */ virtual void zrModel_Place15() = 0;
  /* 16 */ virtual void AddLine(IzrLineIntf** result) = 0;
  /* 17 */ virtual void EndLine(IzrLineIntf* line) = 0;
  /* 18 */ virtual void zrModel_Place18() = 0;
  /* 19 */ virtual uint8_t MergeCell(int32_t a, int32_t b, int32_t c, int32_t d) = 0;
  /* 20 */ virtual void zrModel_Place20() = 0;
  /* 21 */ virtual void zrModel_Place21() = 0;
  /* 22 */ virtual void zrModel_Place22() = 0;
};

// A template: its layout operations first, then its own.
struct IzrTemplateIntf : IzrModelIntf {
  /*  1 */ virtual void LoadFromFile(const ShortString& fileName) = 0;
  /*  2 */ virtual void zrTemplate_Place2() = 0;
  /*  3 */ virtual void zrTemplate_Place3() = 0;
  /*  4 */ virtual void zrTemplate_Place4() = 0;
  /*  5 */ virtual void zrTemplate_Place5() = 0;
  /*  6 */ virtual void zrTemplate_Place6() = 0;
  /*  7 */ virtual void zrTemplate_Place7() = 0;
  /*  8 */ virtual void zrTemplate_Place8() = 0;
  /*  9 */ virtual void zrTemplate_Place9() = 0;
  /* 10 */ virtual void zrTemplate_Place10() = 0;
  /* 11 */ virtual void zrTemplate_Place11() = 0;
  /* 12 */ virtual void zrTemplate_Place12() = 0;
  /* 13 */ virtual void zrTemplate_Place13() = 0;
  /* 14 */ virtual void zrTemplate_Place14() = 0;
  /* 15 */ virtual void zrTemplate_Place15() = 0;
  /* 16 */ virtual void zrTemplate_Place16() = 0;
  /* 17 */ virtual void zrTemplate_Place17() = 0;
  /* 18 */ virtual void zrTemplate_Place18() = 0;
  /* 19 */ virtual void zrTemplate_Place19() = 0;
};

// One line of a template.
struct IzrLineIntf : IUnknown {
  /*  1 */ virtual void zrLine_Place1() = 0;
  /*  2 */ virtual void zrLine_Place2() = 0;
  /*  3 */ virtual void zrLine_Place3() = 0;
  /*  4 */ virtual void SetHeight(int32_t height) = 0;
  /*  5 */ virtual void zrLine_Place5() = 0;
  /*  6 */ virtual void zrLine_Place6() = 0;
  /*  7 */ virtual void AddCell(IzrCellIntf** result) = 0;
  /*  8 */ virtual void InsertCell(IzrCellIntf* cell) = 0;
  /*  9 */ virtual void zrLine_Place9() = 0;
  /* 10 */ virtual void zrLine_Place10() = 0;
  /* 11 */ virtual void zrLine_Place11() = 0;
};

// One cell of a line. The item of addcell each setter receives: SetText 0, byte setters
// 5 <- 11, 11 <- 5, 15 <- 7, 19 <- 3, 23 <- 9; integer setters 7 <- 2, 9 <- 1, 13 <- 6,
// 17 <- 8, 21 <- 4, 25 <- 10, 27 <- 12, 29 <- 13, 31 <- 14. SetFont takes setcellfont's
// items 0 to 5 and must work on a cell already inserted into its line.
struct IzrCellIntf : IUnknown {
  /*  1 */ virtual void zrCell_Place1() = 0;
  /*  2 */ virtual void zrCell_Place2() = 0;
  /*  3 */ virtual void SetText(const ShortString& text) = 0;
  /*  4 */ virtual void zrCell_Place4() = 0;
  /*  5 */ virtual void SetByte5(uint8_t value) = 0;
  /*  6 */ virtual void zrCell_Place6() = 0;
  /*  7 */ virtual void SetInteger7(int32_t value) = 0;
  /*  8 */ virtual void zrCell_Place8() = 0;
  /*  9 */ virtual void SetInteger9(int32_t value) = 0;
  /* 10 */ virtual void zrCell_Place10() = 0;
  /* 11 */ virtual void SetByte11(uint8_t value) = 0;
  /* 12 */ virtual void zrCell_Place12() = 0;
  /* 13 */ virtual void SetInteger13(int32_t value) = 0;
  /* 14 */ virtual void zrCell_Place14() = 0;
  /* 15 */ virtual void SetByte15(uint8_t value) = 0;
  /* 16 */ virtual void zrCell_Place16() = 0;
  /* 17 */ virtual void SetInteger17(int32_t value) = 0;
  /* 18 */ virtual void zrCell_Place18() = 0;
  /* 19 */ virtual void SetByte19(uint8_t value) = 0;
  /* 20 */ virtual void zrCell_Place20() = 0;
  /* 21 */ virtual void SetInteger21(int32_t value) = 0;
  /* 22 */ virtual void zrCell_Place22() = 0;
  /* 23 */ virtual void SetByte23(uint8_t value) = 0;
  /* 24 */ virtual void zrCell_Place24() = 0;
  /* 25 */ virtual void SetInteger25(int32_t value) = 0;
  /* 26 */ virtual void zrCell_Place26() = 0;
  /* 27 */ virtual void SetInteger27(int32_t value) = 0;
  /* 28 */ virtual void zrCell_Place28() = 0;
  /* 29 */ virtual void SetInteger29(int32_t value) = 0;
  /* 30 */ virtual void zrCell_Place30() = 0;
  /* 31 */ virtual void SetInteger31(int32_t value) = 0;
  /* 32 */ virtual void zrCell_Place32() = 0;
  /* 33 */ virtual void zrCell_Place33() = 0;
  /* 34 */ virtual void SetFont(const ShortString& name, int32_t size, uint8_t a, uint8_t b, uint8_t c, uint8_t d) = 0;
  /* 35 */ virtual void zrCell_Place35() = 0;
};

namespace QPrint {

// The export: stores a new report, counted for the caller, into `*report` (null on entry).
using CreateReportFn = void(IzrReport** report) noexcept;

}  // namespace QPrint
