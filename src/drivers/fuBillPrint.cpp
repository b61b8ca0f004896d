// The bill print driver's commands.
#include "drivers/fuBillPrint.h"

#include <vector>

#include "dataset/ClientDataSet.h"
#include "platform/Convert.h"
#include "platform/OleHolders.h"
#include "platform/OleStatus.h"
#include "platform/ProgramFile.h"

namespace trs {
namespace {

const WideString NotHandled = u"-1";

// The three files of the first bill set, in the order of their parts (1 head, 2 detail,
// 3 tail).
constexpr const char* SingleTableFiles[] = {"billhead.cds", "billdetail.cds", "billtail.cds"};

// The staged tables report failures as a status; a page sees the system's text for it.
void Check(int32_t status) {
  if (status != ReportDatasetOk) throw EOleSysError(status);
}

}  // namespace

TBillKit::TBillKit(TEngineLibrary library)
    : Library(std::move(library)),
      PosBillPrint(Library.Optional<BillKit::PosBillPrintFn>("PosBillPrint")),
      SetDesignTableCount(Library.Optional<BillKit::SetDesignTableCountFn>("SetDesignTableCount")),
      MultiTableBillPrint(Library.Optional<BillKit::MultiTableBillPrintFn>("MultiTableBillPrint")),
      SetIsPrintLimit(Library.Optional<BillKit::SetIsPrintLimitFn>("SetIsPrintLimit")),
      GetBillPrintCount(Library.Optional<BillKit::GetBillPrintCountFn>("GetBillPrintCount")),
      SetPrintBillLimitTimes(Library.Optional<BillKit::SetPrintBillLimitTimesFn>("SetPrintBillLimitTimes")),
      PosPreview(Library.Optional<BillKit::PosPreviewFn>("PosPreview")),
      GetIsShowedForm(Library.Optional<BillKit::GetIsShowedFormFn>("GetIsShowedForm")) {}

TBillPrint::TBillPrint() : TLibraryDriver(BillKit::FileName), Tables(std::make_unique<TReportDataset>()) {
  TLockGuard guard(CallLock);
  Tables->Directory = GetProductPath() + "data" + PathDelimiter();
}

WideString TBillPrint::RunCommand(const TBillKit& kit, const std::string& name, const std::string& args) {
  if (name == "pospreview") {
    Preview(kit, args);
  } else if (name == "posbillprint") {
    Print(kit, args);
  } else if (name == "getbillprintcount") {
    if (kit.GetBillPrintCount == nullptr) return WideString();
    return NarrowToWide(IntToStr(kit.GetBillPrintCount()));
  } else if (name == "setisprintlimit") {
    // Converted only for a library that takes it.
    if (kit.SetIsPrintLimit != nullptr) kit.SetIsPrintLimit(StrToBool(args) ? 1 : 0);
  } else if (name == "setprintbilllimittimes") {
    if (kit.SetPrintBillLimitTimes != nullptr) kit.SetPrintBillLimitTimes(StrToInt(args));
    return WideString();  // this command has always answered the empty text
  } else if (name == "addbilldatatable") {
    Tables->AddTable("table_" + args);
  } else if (name == "addbilldatacolumn") {
    const std::vector<std::string> items = SplitCommaArgs(args);
    const std::string& columnName = ArgItem(items, 1);
    const int table = StrToInt(ArgItem(items, 0));
    Check(Tables->AddColumn(table, NarrowToWide(columnName), 1));  // always a text column
  } else if (name == "addbilldatarow") {
    int row = 0;  // the page addresses rows itself; the new index is not answered
    Check(Tables->AddRow(StrToInt(args), row));
  } else if (name == "clearbilldataset") {
    Tables->Clear();
  } else if (name == "setbillrowstr") {
    const std::vector<std::string> items = SplitCommaArgs(args);
    // Fetched from the value backwards; a value can't contain a comma.
    const std::string& value = ArgItem(items, 3);
    const int column = StrToInt(ArgItem(items, 2));
    const int row = StrToInt(ArgItem(items, 1));
    const int table = StrToInt(ArgItem(items, 0));
    Check(Tables->SetCell(table, row, column, NarrowToWide(value)));
  }
  return NotHandled;
}

void TBillPrint::WriteStagedBill() {
  if (Tables->TableCount() == 0) return;
  Tables->BuildTables();
  Tables->SaveBillFiles();
}

void TBillPrint::Preview(const TBillKit& kit, const std::string& args) {
  WriteStagedBill();  // before the arguments are read: their errors come after the files
  const std::vector<std::string> items = SplitCommaArgs(args);
  const std::string& billName = ArgItem(items, 0);
  const int32_t tableCount = StrToInt(ArgItem(items, 1));
  if (kit.PosPreview != nullptr) {
    if (kit.SetDesignTableCount != nullptr) kit.SetDesignTableCount(tableCount);
    kit.PosPreview(billName.c_str());
  } else {
    PrintSingleTable(kit, billName, true);
  }
}

void TBillPrint::Print(const TBillKit& kit, const std::string& args) {
  WriteStagedBill();
  const std::vector<std::string> items = SplitCommaArgs(args);
  const std::string& billName = ArgItem(items, 0);
  const bool flag = StrToBool(ArgItem(items, 1));
  const int32_t tableCount = StrToInt(ArgItem(items, 2));
  if (kit.MultiTableBillPrint != nullptr) {
    if (kit.SetDesignTableCount != nullptr) kit.SetDesignTableCount(tableCount);
    kit.MultiTableBillPrint(billName.c_str(), flag ? 1 : 0);
  } else {
    PrintSingleTable(kit, billName, flag);
  }
}

void TBillPrint::PrintSingleTable(const TBillKit& kit, const std::string& name, bool flag) {
  auto* printPart = kit.Library.Need(kit.PosBillPrint, "PosBillPrint");
  // The files of the first set, read from the product directory of this moment.
  const std::string dataDirectory = GetProductPath() + "data" + PathDelimiter();
  TClientDataSet part;
  for (int32_t partNumber = 1; partNumber <= 3; ++partNumber) {
    part.LoadFromFile(dataDirectory + SingleTableFiles[partNumber - 1]);
    TOleVariant packet;  // ours: the library only reads it during the call
    SetBytePacket(packet, part.Data());
    if (printPart(0, name.c_str(), packet.Get(), partNumber, flag ? 1 : 0) == 0) return;
  }
}

}  // namespace trs
