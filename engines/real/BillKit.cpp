// BillKit.dll: bills and receipts. A bill comes either part by part through PosBillPrint
// (head, detail, tail packets) or from the bill files that the program has just staged in
// the data/ folder beside the engine (MultiTableBillPrint, PosPreview). It is laid out by
// name (BillLayout.h), printed on the receipt printer of the [receipt] section (ESC/POS,
// or a PDF page for PDF targets) and counted per document, with an optional print limit
// (PrintCounts.h). The flag true shows a preview first where there is a display.
#include <algorithm>
#include <exception>
#include <memory>
#include <type_traits>

#include "BillLayout.h"
#include "NarrowText.h"
#include "PreviewWindow.h"
#include "PrintCounts.h"
#include "PrintLog.h"
#include "PrintSettings.h"
#include "PrintTarget.h"
#include "ReceiptOutput.h"
#include "dataset/ClientDataSet.h"
#include "engineabi/BillKit.h"
#include "platform/Mutex.h"

#define TRS_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

constexpr char Engine[] = "BillKit";
constexpr const char* HeadFiles[] = {"billhead.cds", "billhead2.cds", "billhead3.cds"};
constexpr const char* DetailFiles[] = {"billdetail.cds", "billdetail2.cds", "billdetail3.cds"};
constexpr const char* TailFiles[] = {"billtail.cds", "billtail2.cds", "billtail3.cds"};

printkit::TPrintCounts& Counts() {
  static printkit::TPrintCounts counts(printkit::DataFolder() + "bill-prints.ini");
  return counts;
}

// A bill's tables, owned.
struct TBillTables {
  std::unique_ptr<trs::TClientDataSet> Head;
  std::vector<std::unique_ptr<trs::TClientDataSet>> Details;
  std::unique_ptr<trs::TClientDataSet> Tail;

  printkit::TBill View() const {
    printkit::TBill bill{Head.get(), {}, Tail.get()};
    for (const auto& detail : Details) bill.Details.push_back(detail.get());
    return bill;
  }
};

// The head's fields and values: what tells one document from another.
std::string HeadContent(trs::TClientDataSet& head) {
  std::string content;
  for (head.First(); !head.Eof(); head.Next())
    for (int field = 0; field < head.FieldCount(); ++field)
      content += head.FieldInfo(field).Name + "=" + head.FieldAsString(field) + "\n";
  return content;
}

std::unique_ptr<trs::TClientDataSet> LoadTable(const std::string& path) {
  auto table = std::make_unique<trs::TClientDataSet>();
  table->LoadFromFile(path);
  return table;
}

// Prints `tables` as the bill `name` (after the preview when `preview` and a display is
// there). False when the print limit refuses it or printing failed (logged).
bool PrintBill(const std::string& name, TBillTables tables, bool preview) {
  const printkit::TPrintSettings settings = printkit::TPrintSettings::Current();
  const printkit::TReceiptPrinter printer = printkit::ReceiptPrinterFrom(settings);
  const std::string document =
      printkit::DocumentKey(name, tables.Head ? HeadContent(*tables.Head) : std::string());
  if (!Counts().MayPrint(document)) {
    printkit::Log(Engine, "\"" + name + "\" not printed: its print limit is reached (" +
                              std::to_string(Counts().CurrentCount()) + " prints)");
    return false;
  }
  const printkit::TBillLayout layout =
      printkit::LoadBillLayout(printkit::ResolveConfigPath(settings.Text("receipt", "layouts", "bills.json")), name);
  const printkit::TReceipt receipt = printkit::RenderBill(layout, tables.View(), printer.Columns, printer.Cut);
  const auto print = [name, printer, receipt, document] {
    try {
      printkit::Log(Engine, "\"" + name + "\" printed to " + printkit::PrintReceipt(printer, receipt, name));
      Counts().CountPrint(document);
      return true;
    } catch (const std::exception& error) {
      printkit::Log(Engine, "\"" + name + "\" not printed: " + error.what());
      return false;
    }
  };
  if (preview && printkit::PreviewWindows().Show(name, receipt, [print] { print(); })) return true;
  return print();
}

// The bill of the staged files: head and tail of the first set, the detail of each set.
TBillTables StagedBill(int tableCount) {
  const std::string data = printkit::EngineDirectory() + "data/";
  const int sets = std::clamp(tableCount - 1, 1, 3);
  TBillTables tables;
  tables.Head = LoadTable(data + HeadFiles[0]);
  for (int set = 0; set < sets; ++set) tables.Details.push_back(LoadTable(data + DetailFiles[set]));
  tables.Tail = LoadTable(data + TailFiles[0]);
  return tables;
}

trs::TMutex StateLock;
int DesignTableCount TRS_GUARDED_BY(StateLock) = 0;
// The single-table bill as its parts arrive.
TBillTables PartsSoFar TRS_GUARDED_BY(StateLock);
bool HeadRefused TRS_GUARDED_BY(StateLock) = false;

int TableCount() {
  trs::TLockGuard guard(StateLock);
  return DesignTableCount;
}

}  // namespace

TRS_EXPORT uint8_t PosBillPrint(int32_t /*zero*/, const char* name, VARIANT packet, int32_t part, uint8_t flag) noexcept {
  try {
    if (packet.vt != (VT_ARRAY | VT_UI1) || packet.parray == nullptr || packet.parray->pvData == nullptr)
      throw printkit::TPrintError("part " + std::to_string(part) + " came without a data packet");
    auto table = std::make_unique<trs::TClientDataSet>();
    table->SetData({static_cast<const char*>(packet.parray->pvData), packet.parray->rgsabound[0].cElements});
    const std::string title = printkit::NarrowToUtf8(name);
    TBillTables bill;
    {
      trs::TLockGuard guard(StateLock);
      switch (part) {
        case 1:
          PartsSoFar = {};
          PartsSoFar.Head = std::move(table);
          // Refused at the head, so the page does not send the rest.
          HeadRefused = !Counts().MayPrint(printkit::DocumentKey(title, HeadContent(*PartsSoFar.Head)));
          if (HeadRefused) printkit::Log(Engine, "\"" + title + "\" not printed: its print limit is reached");
          return HeadRefused ? 0 : 1;
        case 2: PartsSoFar.Details.push_back(std::move(table)); return 1;
        case 3:
          if (!PartsSoFar.Head || HeadRefused) throw printkit::TPrintError("the tail came without a head to print");
          PartsSoFar.Tail = std::move(table);
          bill = std::move(PartsSoFar);
          PartsSoFar = {};
          break;
        default: throw printkit::TPrintError("unknown bill part " + std::to_string(part) + " (1 head, 2 detail, 3 tail)");
      }
    }
    // Printed outside the lock: a slow printer must not hold up the next bill's parts.
    return PrintBill(title, std::move(bill), flag != 0) ? 1 : 0;
  } catch (const std::exception& error) {
    printkit::Log(Engine, std::string("cannot print the bill: ") + error.what());
    return 0;
  }
}
static_assert(std::is_same_v<decltype(PosBillPrint), BillKit::PosBillPrintFn>);

TRS_EXPORT void MultiTableBillPrint(const char* name, uint8_t flag) noexcept {
  try {
    PrintBill(printkit::NarrowToUtf8(name), StagedBill(TableCount()), flag != 0);
  } catch (const std::exception& error) {
    printkit::Log(Engine, std::string("cannot print the bill: ") + error.what());
  }
}
static_assert(std::is_same_v<decltype(MultiTableBillPrint), BillKit::MultiTableBillPrintFn>);

TRS_EXPORT void SetDesignTableCount(int32_t count) noexcept {
  trs::TLockGuard guard(StateLock);
  DesignTableCount = count;
}
static_assert(std::is_same_v<decltype(SetDesignTableCount), BillKit::SetDesignTableCountFn>);

TRS_EXPORT void PosPreview(const char* name) noexcept {
  try {
    const std::string title = printkit::NarrowToUtf8(name);
    const printkit::TPrintSettings settings = printkit::TPrintSettings::Current();
    const printkit::TReceiptPrinter printer = printkit::ReceiptPrinterFrom(settings);
    TBillTables tables = StagedBill(TableCount());
    const printkit::TBillLayout layout =
        printkit::LoadBillLayout(printkit::ResolveConfigPath(settings.Text("receipt", "layouts", "bills.json")), title);
    const printkit::TReceipt receipt = printkit::RenderBill(layout, tables.View(), printer.Columns, printer.Cut);
    if (printkit::PreviewWindows().Show(title, receipt, nullptr)) return;
    // Without a display the preview is a PDF file, where a new user finds printouts.
    printkit::TJob job{title + "-preview", printkit::TJobFormat::Pdf, printkit::ReceiptPdf(receipt), {}};
    printkit::Log(Engine, "no display for the preview of \"" + title + "\"; written to " +
                              printkit::DeliverToPdfFolder(printkit::DefaultPdfFolder(), job));
  } catch (const std::exception& error) {
    printkit::Log(Engine, std::string("cannot preview the bill: ") + error.what());
  }
}
static_assert(std::is_same_v<decltype(PosPreview), BillKit::PosPreviewFn>);

TRS_EXPORT int32_t GetBillPrintCount() noexcept {
  try {
    return Counts().CurrentCount();
  } catch (const std::exception& error) {
    printkit::Log(Engine, std::string("cannot read the print counts: ") + error.what());
    return 0;
  }
}
static_assert(std::is_same_v<decltype(GetBillPrintCount), BillKit::GetBillPrintCountFn>);

TRS_EXPORT void SetIsPrintLimit(uint8_t limit) noexcept {
  try {
    Counts().SetLimitEnabled(limit != 0);
  } catch (const std::exception& error) {
    printkit::Log(Engine, std::string("cannot keep the print limit: ") + error.what());
  }
}
static_assert(std::is_same_v<decltype(SetIsPrintLimit), BillKit::SetIsPrintLimitFn>);

TRS_EXPORT void SetPrintBillLimitTimes(int32_t times) noexcept {
  try {
    Counts().SetLimitTimes(times);
  } catch (const std::exception& error) {
    printkit::Log(Engine, std::string("cannot keep the print limit: ") + error.what());
  }
}
static_assert(std::is_same_v<decltype(SetPrintBillLimitTimes), BillKit::SetPrintBillLimitTimesFn>);

TRS_EXPORT uint8_t GetIsShowedForm() noexcept { return printkit::PreviewWindows().IsShown() ? 1 : 0; }
static_assert(std::is_same_v<decltype(GetIsShowedForm), BillKit::GetIsShowedFormFn>);
