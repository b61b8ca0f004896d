// The driver base: staging commands, IsPrinting, the product path and the argument splitter.
#include "drivers/fuReportBase.h"

#include <algorithm>

#include "dataset/ClientDataSet.h"
#include "platform/Convert.h"
#include "platform/Exceptions.h"
#include "platform/ProductRegistry.h"
#include "platform/ProgramFile.h"

namespace trs {

std::atomic<bool> PrintBracketOpen{false};

namespace {

// Staged text columns are never narrower than this, whatever a page asks for.
constexpr int MinColumnSize = 256;

const WideString Handled = u"1";
const WideString NotHandled = u"-1";

}  // namespace

TReportBase::TReportBase() : DataTable(std::make_unique<TClientDataSet>()) {}

TReportBase::~TReportBase() = default;

WideString TReportBase::InvokeMethod(const std::string& name, const std::string& args) {
  const std::vector<std::string> items = SplitCommaArgs(args);
  const std::string command = LowerAscii(name);
  if (command == "beginprint") {
    PrintBracketOpen = true;
  } else if (command == "endprint") {
    PrintBracketOpen = false;
  } else if (command == "adddatatable") {
    DataTable = std::make_unique<TClientDataSet>();
    TableOpen = false;
  } else if (command == "adddatacolumn") {
    AddDataColumn(items);
  } else if (command == "adddatarow") {
    AddDataRow();
  } else if (command == "setrowstr") {
    SetRowStr(args);
  } else if (command == "savedatatable") {
    SaveDataTable(args);
  } else {
    return NotHandled;
  }
  return Handled;
}

WideString TReportBase::GetProperty(const std::string& name) {
  if (name == "isprinting") return (PrintBracketOpen || EngineDialogActive) ? u"1" : u"0";
  return NotHandled;
}

std::optional<WideString> TReportBase::GetPropertyWithoutWaiting(const std::string&) const {
  return std::nullopt;
}

int TReportBase::LoadDataFromQuill3(const WideString&, int) { return -1; }

int TReportBase::LoadDataFromJson(const WideString&) { return -1; }

std::string TReportBase::GetProductPath() const {
  return ProductPath.empty() ? ProgramDirectory() : ProductPath;
}

void TReportBase::SetProductTag(const std::string& tag) {
  ProductPath = LookupProductDirectory(tag).value_or(std::string());
}

void TReportBase::AddDataColumn(const std::vector<std::string>& items) {
  const std::string& sizeText = ArgItem(items, 1);
  int size = MinColumnSize;
  if (const auto asked = TryStrToInt(sizeText)) size = std::max(*asked, MinColumnSize);
  if (items[0].empty()) return;
  // Definitions added while the table is open are kept for the next table only.
  DataTable->AddFieldDef(UniqueColumnName(*DataTable, items[0]), TFieldType::ftString, size);
}

void TReportBase::AddDataRow() {
  if (!TableOpen) {
    DataTable->CreateDataSet();
    TableOpen = true;
  }
  DataTable->Append();
}

void TReportBase::SetRowStr(std::string_view args) {
  const size_t comma = args.find(',');
  const std::string_view numberText = comma == std::string_view::npos ? std::string_view() : args.substr(0, comma);
  const int field = StrToInt(numberText);
  // The value is everything after the first comma, untrimmed: it may hold further commas.
  const std::string_view value = comma == std::string_view::npos ? std::string_view() : args.substr(comma + 1);
  DataTable->FieldInfo(field);  // "List index out of bounds" before any state change
  DataTable->SetFieldText(field, value);
  if (field + 1 == DataTable->FieldCount()) DataTable->Post();
}

void TReportBase::SaveDataTable(const std::string& fileName) {
  CheckDataFileName(fileName);
  if (!TableOpen) return;
  DataTable->SaveToFile(GetProductPath() + "data" + PathDelimiter() + fileName);
}

void CheckDataFileName(const std::string& fileName) {
  const bool absolute = !fileName.empty() && (fileName[0] == '/' || fileName[0] == '\\' ||
                                              (fileName.size() > 1 && fileName[1] == ':'));
  if (absolute || fileName.find_first_of("/\\") != std::string::npos ||
      fileName.find("..") != std::string::npos)
    throw EInvalidFileName(Format(
        "Invalid file name '%s': a file is written directly in the data directory, so its "
        "name may not be absolute or contain '/', '\\' or '..'",
        fileName.c_str()));
  // A NUL would end the name the file system sees before the name we judged (".xml" after
  // it would choose the format of a file saved under another name); CR, LF and the other
  // control characters make names that engines and people cannot handle.
  const auto control = std::find_if(fileName.begin(), fileName.end(),
                                    [](char c) { return static_cast<unsigned char>(c) < 0x20; });
  if (control != fileName.end()) {
    std::string shown;
    for (const char c : fileName)
      shown += static_cast<unsigned char>(c) < 0x20 ? Format("\\x%02X", static_cast<unsigned>(c)) : std::string(1, c);
    throw EInvalidFileName(Format(
        "Invalid file name '%s': a file name may not contain control characters", shown.c_str()));
  }
}

void TReportBase::SplitArgs(std::string_view text, std::vector<std::string>* list, char separator) {
  if (list == nullptr) throw EAssertionFailed("Assertion failure (fuReportBase, line 75)");
  list->clear();
  const std::string_view trimmed = Trim(text);
  if (trimmed.empty()) return;
  size_t start = 0;
  for (size_t sep = trimmed.find(separator); sep != std::string_view::npos;
       sep = trimmed.find(separator, start)) {
    list->emplace_back(Trim(trimmed.substr(start, sep - start)));
    start = sep + 1;
  }
  if (start < trimmed.size()) {
    list->emplace_back(Trim(trimmed.substr(start)));
  } else {
    list->emplace_back();  // the text ends with the separator
  }
}

std::vector<std::string> TReportBase::SplitCommaArgs(std::string_view text) {
  std::vector<std::string> items;
  SplitArgs(text, &items, ',');
  return items;
}

const std::string& TReportBase::ArgItem(const std::vector<std::string>& items, size_t index) {
  if (index >= items.size()) ThrowListIndexError(static_cast<long long>(index));
  return items[index];
}

std::string TReportBase::UniqueColumnName(const TClientDataSet& dataset, std::string wanted) {
  if (wanted.size() >= 32) wanted.resize(NarrowCutLength(wanted, 30));
  if (dataset.IndexOfFieldDef(wanted) < 0) return wanted;
  int containing = 0;
  for (const TFieldDef& def : dataset.FieldDefs())
    if (def.Name.find(wanted) != std::string::npos) ++containing;
  return wanted + IntToStr(containing + 1);
}

}  // namespace trs
