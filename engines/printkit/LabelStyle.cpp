#include "LabelStyle.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "PrintTarget.h"

namespace printkit {

namespace {

std::optional<QJsonObject> ReadStyleFile(const std::string& path) {
  QFile file(QString::fromStdString(path));
  if (path.empty() || !file.open(QIODevice::ReadOnly)) return std::nullopt;
  QJsonParseError error{};
  const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
  if (!document.isObject())
    throw TPrintError("the label styles in " + path + " are not valid JSON: " + error.errorString().toStdString());
  return document.object();
}

TBox BoxOf(const QJsonValue& value) {
  const QJsonArray box = value.toArray();
  return {box.at(0).toDouble(), box.at(1).toDouble(), box.at(2).toDouble(), box.at(3).toDouble()};
}

TLabelField FieldOf(const QJsonObject& object) {
  TLabelField field;
  field.Barcode = object.value("type").toString() == "barcode";
  field.Text = object.value("text").toString().toStdString();
  if (field.Text.empty() && object.contains("field")) field.Text = "[" + object.value("field").toString().toStdString() + "]";
  field.Box = BoxOf(object.value("box"));
  field.Font = object.value("font").toString(QString::fromStdString(field.Font)).toStdString();
  field.SizeMm = object.value("size").toDouble(field.SizeMm);
  field.Bold = object.value("bold").toBool(false);
  const QString align = object.value("align").toString();
  field.Align = align == "center" ? TAlign::Center : align == "right" ? TAlign::Right : TAlign::Left;
  field.Symbology = object.value("symbology").toString(QString::fromStdString(field.Symbology)).toStdString();
  field.ModuleMm = object.value("module").toDouble(field.ModuleMm);
  field.HumanReadable = object.value("hrt").toBool(false);
  return field;
}

TLabelStyle StyleOf(const std::string& name, const QJsonObject& object) {
  TLabelStyle style;
  style.Name = name;
  const QJsonObject media = object.value("media").toObject();
  style.PageWidthMm = media.value("width").toDouble(60);
  style.PageHeightMm = media.value("height").toDouble(40);
  style.LabelWidthMm = style.PageWidthMm;
  style.LabelHeightMm = style.PageHeightMm;
  if (object.contains("grid")) {
    const QJsonObject grid = object.value("grid").toObject();
    style.Sheet = true;
    style.Columns = std::max(1, grid.value("columns").toInt(1));
    style.Rows = std::max(1, grid.value("rows").toInt(1));
    style.LeftMm = grid.value("left").toDouble(0);
    style.TopMm = grid.value("top").toDouble(0);
    style.LabelWidthMm = grid.value("width").toDouble(style.PageWidthMm / style.Columns);
    style.LabelHeightMm = grid.value("height").toDouble(style.PageHeightMm / style.Rows);
    style.HGapMm = grid.value("hgap").toDouble(0);
    style.VGapMm = grid.value("vgap").toDouble(0);
  }
  const QString form = object.value("form").toString("pdf");
  if (form != "pdf" && form != "zpl" && form != "tspl")
    throw TPrintError("the label style \"" + name + "\" has an unknown form \"" + form.toStdString() + "\" (pdf, zpl or tspl)");
  style.Form = form == "zpl" ? TLabelForm::Zpl : form == "tspl" ? TLabelForm::Tspl : TLabelForm::Pdf;
  style.Target = object.value("target").toString().toStdString();
  style.Dpi = std::clamp(object.value("dpi").toInt(203), 100, 1200);
  for (const QJsonValue field : object.value("fields").toArray()) style.Fields.push_back(FieldOf(field.toObject()));
  return style;
}

// The built-in style: a 60 × 40 mm label, the first column as a barcode, the rest as text.
TLabelStyle BuiltInStyle(const std::vector<std::string>& columns) {
  TLabelStyle style;
  style.Name = "";
  double y = 2;
  for (size_t i = 1; i < columns.size() && y < 20; ++i, y += 4.5) {
    TLabelField text;
    text.Text = "[" + columns[i] + "]";
    text.Box = {3, y, 54, 4.5};
    text.SizeMm = 3.2;
    style.Fields.push_back(text);
  }
  if (!columns.empty()) {
    TLabelField code;
    code.Barcode = true;
    code.Text = "[" + columns[0] + "]";
    code.Symbology = "auto";  // Code 128 for ASCII, QR otherwise
    code.Box = {3, std::max(y, 10.0) + 1, 54, 40 - std::max(y, 10.0) - 3};
    code.HumanReadable = true;
    style.Fields.push_back(code);
  }
  return style;
}

}  // namespace

TBox TLabelStyle::Slot(int slot) const {
  const int column = slot % Columns, row = (slot / Columns) % Rows;
  return {LeftMm + column * (LabelWidthMm + HGapMm), TopMm + row * (LabelHeightMm + VGapMm), LabelWidthMm, LabelHeightMm};
}

std::vector<std::string> LabelStyleNames(const std::string& path) {
  std::vector<std::string> names;
  if (const std::optional<QJsonObject> file = ReadStyleFile(path))
    for (const QString& name : file->keys()) names.push_back(name.toStdString());
  return names;
}

TLabelStyle LoadLabelStyle(const std::string& path, const std::string& name, const std::vector<std::string>& columns) {
  const std::optional<QJsonObject> file = ReadStyleFile(path);
  if (name.empty() && (!file || file->isEmpty())) return BuiltInStyle(columns);
  if (!file) throw TPrintError("no label style \"" + name + "\": there is no style file " + path);
  const QString key = name.empty() ? file->keys().first() : QString::fromStdString(name);
  if (!file->value(key).isObject()) throw TPrintError("no label style \"" + name + "\" in " + path);
  return StyleOf(key.toStdString(), file->value(key).toObject());
}

std::string FillText(const std::string& text, const std::vector<std::string>& columns,
                     const std::vector<std::string>& values) {
  std::string out;
  for (size_t at = 0; at < text.size();) {
    const size_t open = text.find('[', at);
    const size_t close = open == std::string::npos ? std::string::npos : text.find(']', open);
    if (close == std::string::npos) {
      out += text.substr(at);
      break;
    }
    out += text.substr(at, open - at);
    const std::string name = text.substr(open + 1, close - open - 1);
    const auto found = std::find(columns.begin(), columns.end(), name);
    out += found == columns.end() ? text.substr(open, close - open + 1) : values[static_cast<size_t>(found - columns.begin())];
    at = close + 1;
  }
  return out;
}

}  // namespace printkit
