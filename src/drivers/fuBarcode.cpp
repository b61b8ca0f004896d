// The barcode label driver's commands.
#include "drivers/fuBarcode.h"

#include <vector>

#include "dataset/ClientDataSet.h"
#include "platform/Convert.h"
#include "platform/FileNames.h"
#include "platform/OleHolders.h"
#include "platform/ProgramFile.h"

namespace trs {
namespace {

const WideString NotHandled = u"-1";

// The table handed to the library when the named one does not exist.
constexpr char DefaultTableName[] = "table_m.cds";

std::vector<long> VersionNumbers(const std::string& text) {
  std::vector<long> numbers;
  size_t start = 0;
  while (true) {
    const size_t point = text.find('.', start);
    numbers.push_back(std::strtol(text.substr(start, point - start).c_str(), nullptr, 10));
    if (point == std::string::npos) return numbers;
    start = point + 1;
  }
}

}  // namespace

TBarcodeKit::TBarcodeKit(TEngineLibrary library)
    : Library(std::move(library)),
      BarConfigCds(Library.Optional<BarcodeKit::BarConfigCdsFn>("BarConfigCds")),
      PrintBarOutEx(Library.Optional<BarcodeKit::PrintBarOutExFn>("PrintBarOutEx")),
      PrintBarOutExOld(Library.Optional<BarcodeKit::PrintBarOutExOldFn>("PrintBarOutEx")),
      GetStyleNames(Library.Optional<BarcodeKit::GetStyleNamesFn>("GetStyleNames")),
      SetStartPrintPosition(Library.Optional<BarcodeKit::SetStartPrintPositionFn>("SetStartPrintPosition")),
      GetIsShowedForm(Library.Optional<BarcodeKit::GetIsShowedFormFn>("GetIsShowedForm")) {}

bool TakesStyleName(const std::string& versionText) {
  if (versionText == BarcodeKit::StyleNameVersion) return true;
  const std::vector<long> have = VersionNumbers(versionText);
  const std::vector<long> first = VersionNumbers(BarcodeKit::StyleNameVersion);
  if (have.size() != first.size()) return false;
  for (size_t i = 0; i < have.size(); ++i)
    if (have[i] != first[i]) return have[i] > first[i];
  return true;
}

WideString TBarcode::RunCommand(const TBarcodeKit& kit, const std::string& name, const std::string& args) {
  // The argument is the whole text after the colon; nothing here splits it.
  if (name == "barconfigcds") {
    ConfigureFromFile(kit, args);
    return NotHandled;
  }
  if (name == "printbaroutex") return PrintLabels(kit, StrToInt(args)) ? u"1" : u"0";
  if (name == "setstartprintposition") {
    const int32_t position = StrToInt(args);  // converted even when the library lacks the entry
    if (kit.SetStartPrintPosition != nullptr) kit.SetStartPrintPosition(position);
    return NotHandled;
  }
  if (name == "setstylename") {
    StyleName = args;
    return NotHandled;
  }
  if (name == "getstylenames") return StyleNames(kit);
  return NotHandled;
}

void TBarcode::ConfigureFromFile(const TBarcodeKit& kit, const std::string& fileName) {
  auto* configure = kit.Library.Need(kit.BarConfigCds, "BarConfigCds");
  // The name comes from a page: it must stay inside data/, like the names SaveDataTable takes.
  if (!fileName.empty()) CheckDataFileName(fileName);
  const std::string dataDirectory = GetProductPath() + "data" + PathDelimiter();
  std::string path = dataDirectory + fileName;
  if (fileName.empty() || !FileExists(path)) path = dataDirectory + DefaultTableName;

  TClientDataSet table;
  table.LoadFromFile(path);
  TOleVariant packet;
  SetBytePacket(packet, table.Data());
  configure(0, packet.Address());
}

bool TBarcode::PrintLabels(const TBarcodeKit& kit, int32_t number) {
  if (TakesStyleName(kit.Library.VersionText())) {
    auto* print = kit.Library.Need(kit.PrintBarOutEx, "PrintBarOutEx");
    return print(number, StyleName.empty() ? nullptr : StyleName.c_str()) != 0;
  }
  auto* print = kit.Library.Need(kit.PrintBarOutExOld, "PrintBarOutEx");
  return print(number) != 0;
}

WideString TBarcode::StyleNames(const TBarcodeKit& kit) {
  if (kit.GetStyleNames == nullptr) return WideString();
  TBStr names;  // the library allocates the text; the holder frees it
  kit.GetStyleNames(names.Receive());
  // The answer is the names in the narrow page, as the page has always received them.
  return NarrowToWide(WideToNarrow(names.View()));
}

}  // namespace trs
