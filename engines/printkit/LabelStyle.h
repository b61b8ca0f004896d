// Label styles, named in a JSON file (the [labels] styles= setting, labels.json by default):
//   { "货架标签": {
//       "media":  {"width": 210, "height": 297},        the page in mm
//       "grid":   {"columns": 3, "rows": 8, "left": 7, "top": 10.5,
//                  "width": 64, "height": 35, "hgap": 2.5, "vgap": 0},
//                 labels on a sheet; without "grid" the page is one label (a roll)
//       "form":   "pdf" | "zpl" | "tspl",               default pdf
//       "target": "pdf:" | "cups:QUEUE" | "tcp://host:9100" | "/dev/usb/lp0"
//                 default the [labels] target=, else PDF files in the default folder
//       "dpi":    203,                                  raster forms: printer dots per inch
//       "fields": [
//         {"type": "text", "text": "[品名] [规格]", "box": [x, y, w, h],
//          "font": "WenQuanYi Zen Hei", "size": 3.5, "bold": false, "align": "left"},
//         {"type": "barcode", "text": "[条码]", "box": [x, y, w, h],
//          "symbology": "code128" | "ean13" | "qr" | "datamatrix" | "code39",
//          "module": 0.25, "hrt": true} ] } }
// Boxes are in mm inside the label; "[name]" fills in a column of the row; "size" is the
// font height in mm. "module" is the narrowest bar (or QR cell) the printer and scanners
// still resolve: a barcode whose box cannot give it that much is refused, not printed
// unreadable. Without a style file or style name the built-in style prints a 60 × 40 mm
// label with the first column as a Code 128 (a QR code when it is not ASCII) and the
// others as text lines.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "Receipt.h"

namespace printkit {

struct TBox {
  double X = 0, Y = 0, Width = 0, Height = 0;  // mm
};

struct TLabelField {
  bool Barcode = false;
  std::string Text;  // with [column] fills
  TBox Box;
  std::string Font = "WenQuanYi Zen Hei";
  double SizeMm = 3.5;
  bool Bold = false;
  TAlign Align = TAlign::Left;
  std::string Symbology = "code128";
  double ModuleMm = 0.25;
  bool HumanReadable = false;
};

enum class TLabelForm { Pdf, Zpl, Tspl };

struct TLabelStyle {
  std::string Name;
  double PageWidthMm = 60, PageHeightMm = 40;
  // The grid; one slot filling the page for a roll.
  int Columns = 1, Rows = 1;
  double LeftMm = 0, TopMm = 0, LabelWidthMm = 60, LabelHeightMm = 40, HGapMm = 0, VGapMm = 0;
  bool Sheet = false;
  TLabelForm Form = TLabelForm::Pdf;
  std::string Target;  // empty: the [labels] target
  int Dpi = 203;
  std::vector<TLabelField> Fields;

  int SlotsPerPage() const { return Columns * Rows; }
  // The slot's top left corner on the page, in mm (slot from 0, left to right, top down).
  TBox Slot(int slot) const;
};

// The style names in the file, sorted; none when there is no file.
std::vector<std::string> LabelStyleNames(const std::string& path);
// The style called `name`; when empty, the first by name, or the built-in style without a file.
// TPrintError for a name the file lacks or a file that is not valid JSON.
TLabelStyle LoadLabelStyle(const std::string& path, const std::string& name, const std::vector<std::string>& columns);

// `text` with every "[column]" replaced by that column's value (UTF-8); unknown names stay.
std::string FillText(const std::string& text, const std::vector<std::string>& columns,
                     const std::vector<std::string>& values);

}  // namespace printkit
