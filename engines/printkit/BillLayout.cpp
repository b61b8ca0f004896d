#include "BillLayout.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cstdlib>

#include "NarrowText.h"
#include "PrintTarget.h"
#include "dataset/ClientDataSet.h"

namespace printkit {

namespace {

std::string Utf8(const QJsonValue& value) { return value.toString().toStdString(); }

std::vector<std::string> Texts(const QJsonValue& value) {
  std::vector<std::string> texts;
  for (const QJsonValue item : value.toArray()) texts.push_back(Utf8(item));
  return texts;
}

std::optional<TAlign> AlignOf(const QJsonValue& value) {
  const QString text = value.toString();
  if (text == "left") return TAlign::Left;
  if (text == "center" || text == "centre") return TAlign::Center;
  if (text == "right") return TAlign::Right;
  return std::nullopt;
}

// A field's value as UTF-8 (the files hold narrow text).
std::string FieldText(const trs::TClientDataSet& table, int field) {
  return table.FieldIsNull(field) ? std::string() : NarrowToUtf8(table.FieldAsString(field));
}

std::string FieldName(const trs::TClientDataSet& table, int field) { return NarrowToUtf8(table.FieldInfo(field).Name); }

int FieldIndex(const trs::TClientDataSet& table, const std::string& utf8Name) {
  return table.FindField(Utf8ToNarrow(utf8Name));
}

bool LooksNumeric(const std::string& text) {
  if (text.empty()) return false;
  char* end = nullptr;
  std::strtod(text.c_str(), &end);
  return *end == 0;
}

std::string Rule(int columns) { return std::string(static_cast<size_t>(columns), '-'); }

void AddLine(TReceipt& receipt, std::string text, TAlign align = TAlign::Left, bool bold = false) {
  for (std::string& piece : WrapCells(text, receipt.Columns)) receipt.Lines.push_back({std::move(piece), align, bold, false});
}

// "name：value" lines of the first row of `table`, for the fields named (all when unset).
void AddFieldLines(TReceipt& receipt, trs::TClientDataSet& table, const std::optional<std::vector<std::string>>& names) {
  table.First();
  if (table.Eof()) return;
  std::vector<int> fields;
  if (names) {
    for (const std::string& name : *names)
      if (const int field = FieldIndex(table, name); field >= 0) fields.push_back(field);
  } else {
    for (int field = 0; field < table.FieldCount(); ++field) fields.push_back(field);
  }
  for (const int field : fields) AddLine(receipt, FieldName(table, field) + "：" + FieldText(table, field));
}

struct TPlacedColumn {
  int Field = -1;
  std::string Title;
  int Width = 0;
  TAlign Align = TAlign::Left;
};

std::vector<TPlacedColumn> PlaceColumns(const TBillLayout& layout, trs::TClientDataSet& table, int columns) {
  std::vector<TPlacedColumn> placed;
  if (layout.Columns.empty()) {
    for (int field = 0; field < table.FieldCount(); ++field) placed.push_back({field, FieldName(table, field), 0, TAlign::Left});
  } else {
    for (const TBillColumn& column : layout.Columns) {
      const int field = FieldIndex(table, column.Field);
      if (field >= 0) placed.push_back({field, column.Title.empty() ? column.Field : column.Title, column.Width, TAlign::Left});
    }
  }
  if (placed.empty()) return placed;
  // Alignment: the layout's, else right for columns whose every value is a number.
  for (size_t i = 0; i < placed.size(); ++i) {
    const std::optional<TAlign> given = layout.Columns.empty() ? std::nullopt : layout.Columns[i].Align;
    if (given) {
      placed[i].Align = *given;
      continue;
    }
    bool numeric = table.RecordCount() > 0;
    for (table.First(); !table.Eof() && numeric; table.Next()) numeric = LooksNumeric(FieldText(table, placed[i].Field));
    placed[i].Align = numeric ? TAlign::Right : TAlign::Left;
  }
  // Widths: one blank between columns; fixed widths first, the rest shared; never wider
  // than the paper (the last columns give way).
  const int gaps = static_cast<int>(placed.size()) - 1;
  int fixed = 0, shared = 0;
  for (const TPlacedColumn& column : placed) column.Width > 0 ? fixed += column.Width : ++shared;
  const int left = std::max(0, columns - gaps - fixed);
  for (TPlacedColumn& column : placed)
    if (column.Width <= 0) column.Width = std::max(2, shared > 0 ? left / shared : 2);
  int total = gaps;
  for (TPlacedColumn& column : placed) {
    column.Width = std::max(0, std::min(column.Width, columns - total));
    total += column.Width;
  }
  std::erase_if(placed, [](const TPlacedColumn& column) { return column.Width < 2; });
  return placed;
}

// One table row as printed lines: each cell wrapped within its width, side by side.
void AddRow(TReceipt& receipt, const std::vector<TPlacedColumn>& placed, const std::vector<std::string>& cells, bool bold) {
  std::vector<std::vector<std::string>> wrapped;
  size_t height = 1;
  for (size_t i = 0; i < placed.size(); ++i) {
    wrapped.push_back(WrapCells(cells[i], placed[i].Width));
    height = std::max(height, wrapped.back().size());
  }
  for (size_t line = 0; line < height; ++line) {
    std::string text;
    for (size_t i = 0; i < placed.size(); ++i) {
      if (i > 0) text += ' ';
      text += PadCells(line < wrapped[i].size() ? wrapped[i][line] : "", placed[i].Width, placed[i].Align);
    }
    while (!text.empty() && text.back() == ' ') text.pop_back();
    receipt.Lines.push_back({text, TAlign::Left, bold, false});
  }
}

void AddDetail(TReceipt& receipt, const TBillLayout& layout, trs::TClientDataSet& table) {
  const std::vector<TPlacedColumn> placed = PlaceColumns(layout, table, receipt.Columns);
  if (placed.empty()) return;
  std::vector<std::string> titles;
  for (const TPlacedColumn& column : placed) titles.push_back(column.Title);
  AddRow(receipt, placed, titles, true);
  receipt.Lines.push_back({Rule(receipt.Columns), TAlign::Left, false, false});
  for (table.First(); !table.Eof(); table.Next()) {
    std::vector<std::string> cells;
    for (const TPlacedColumn& column : placed) cells.push_back(FieldText(table, column.Field));
    AddRow(receipt, placed, cells, false);
  }
}

// Tail fields: the label on the left, the value on the right.
void AddTail(TReceipt& receipt, const TBillLayout& layout, trs::TClientDataSet& table) {
  table.First();
  if (table.Eof()) return;
  for (const std::string& name : layout.TailFields) {
    const int field = FieldIndex(table, name);
    if (field < 0) continue;
    const std::string value = FieldText(table, field);
    const int valueCells = std::min(TextCells(value), receipt.Columns);
    if (TextCells(name) + 1 + valueCells > receipt.Columns) {
      AddLine(receipt, name);
      AddLine(receipt, value, TAlign::Right);
      continue;
    }
    receipt.Lines.push_back({PadCells(name, receipt.Columns - valueCells, TAlign::Left) + value, TAlign::Left, true, false});
  }
}

}  // namespace

TBillLayout LoadBillLayout(const std::string& path, const std::string& name) {
  TBillLayout layout;
  layout.Title = name;
  QFile file(QString::fromStdString(path));
  if (path.empty() || !file.open(QIODevice::ReadOnly)) return layout;
  QJsonParseError error{};
  const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
  if (!document.isObject()) throw TPrintError("the bill layouts in " + path + " are not valid JSON: " + error.errorString().toStdString());
  const QJsonValue found = document.object().value(QString::fromStdString(name));
  if (!found.isObject()) return layout;
  const QJsonObject object = found.toObject();
  if (object.contains("title")) layout.Title = Utf8(object.value("title"));
  if (object.contains("head")) layout.HeadFields = Texts(object.value("head"));
  for (const QJsonValue item : object.value("columns").toArray()) {
    const QJsonObject column = item.toObject();
    layout.Columns.push_back({Utf8(column.value("field")), Utf8(column.value("title")), column.value("width").toInt(0),
                              AlignOf(column.value("align"))});
  }
  layout.TailFields = Texts(object.value("tail"));
  layout.Footer = Texts(object.value("footer"));
  return layout;
}

TReceipt RenderBill(const TBillLayout& layout, const TBill& bill, int columns, TCut cut) {
  TReceipt receipt;
  receipt.Columns = columns;
  receipt.Cut = cut;
  if (!layout.Title.empty())
    for (std::string& piece : WrapCells(layout.Title, columns / 2))
      receipt.Lines.push_back({std::move(piece), TAlign::Center, true, true});
  if (bill.Head != nullptr) AddFieldLines(receipt, *bill.Head, layout.HeadFields);
  for (trs::TClientDataSet* detail : bill.Details) {
    receipt.Lines.push_back({Rule(columns), TAlign::Left, false, false});
    AddDetail(receipt, layout, *detail);
  }
  if (bill.Tail != nullptr && !layout.TailFields.empty()) {
    receipt.Lines.push_back({Rule(columns), TAlign::Left, false, false});
    AddTail(receipt, layout, *bill.Tail);
  }
  for (const std::string& line : layout.Footer) AddLine(receipt, line, TAlign::Center);
  return receipt;
}

}  // namespace printkit
