#include "BarcodeSymbol.h"

#include <zint.h>

#include <QFont>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <memory>

#include "PrintTarget.h"

namespace printkit {

namespace {

struct TSymbolDelete {
  void operator()(zint_symbol* symbol) const { ZBarcode_Delete(symbol); }
};

bool IsAscii(const std::string& text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

int SymbologyOf(const std::string& name, const std::string& text) {
  if (name == "code128") return BARCODE_CODE128;
  if (name == "ean13" || name == "ean8") return BARCODE_EANX;
  if (name == "qr") return BARCODE_QRCODE;
  if (name == "datamatrix") return BARCODE_DATAMATRIX;
  if (name == "code39") return BARCODE_CODE39;
  if (name == "auto") return IsAscii(text) ? BARCODE_CODE128 : BARCODE_QRCODE;
  throw TPrintError("unknown symbology \"" + name + "\" (code128, ean13, ean8, qr, datamatrix, code39)");
}

bool IsMatrix(int symbology) { return symbology == BARCODE_QRCODE || symbology == BARCODE_DATAMATRIX; }

}  // namespace

void DrawBarcode(QPainter& painter, const TLabelField& field, const std::string& text, double originXMm,
                 double originYMm, double dotsPerMm, bool snap) {
  if (text.empty()) return;  // an empty value prints no symbol, as an empty text prints nothing
  const std::unique_ptr<zint_symbol, TSymbolDelete> symbol(ZBarcode_Create());
  symbol->symbology = SymbologyOf(field.Symbology, text);
  symbol->input_mode = UNICODE_MODE;
  symbol->scale = 0.5f;  // one vector unit is one module
  symbol->show_hrt = field.HumanReadable && !IsMatrix(symbol->symbology) ? 1 : 0;
  symbol->output_options |= BARCODE_QUIET_ZONES;
  const int status = ZBarcode_Encode_and_Buffer_Vector(symbol.get(), reinterpret_cast<const unsigned char*>(text.data()),
                                                       static_cast<int>(text.size()), 0);
  if (status >= ZINT_ERROR || symbol->vector == nullptr)
    throw TPrintError("cannot encode \"" + text + "\" as " + field.Symbology + ": " + symbol->errtxt);
  const zint_vector& vector = *symbol->vector;

  // The module: as wide as the box allows, never below the field's minimum.
  const double boxWidth = field.Box.Width * dotsPerMm, boxHeight = field.Box.Height * dotsPerMm;
  double module = boxWidth / vector.width;
  if (IsMatrix(symbol->symbology)) module = std::min(module, boxHeight / vector.height);
  if (snap) module = std::floor(module);
  if (module < field.ModuleMm * dotsPerMm || module <= 0) {
    char needed[64];
    std::snprintf(needed, sizeof needed, "%.1f mm", vector.width * field.ModuleMm);
    throw TPrintError("the barcode \"" + text + "\" needs a box " + needed + " wide at its minimum module of " +
                      std::to_string(field.ModuleMm).substr(0, 4) + " mm; the box is " +
                      std::to_string(field.Box.Width).substr(0, 4) + " mm");
  }
  // Linear symbols stretch their bars to the box's height; matrix symbols keep square cells.
  const double vertical = IsMatrix(symbol->symbology) ? module : boxHeight / vector.height;
  const double left = originXMm * dotsPerMm + field.Box.X * dotsPerMm;
  const double top = originYMm * dotsPerMm + field.Box.Y * dotsPerMm;
  const auto place = [&](double value) { return snap ? std::round(value) : value; };

  painter.save();
  painter.setPen(Qt::NoPen);
  painter.setBrush(Qt::black);
  for (const zint_vector_rect* rect = vector.rectangles; rect != nullptr; rect = rect->next) {
    const double x = place(left + rect->x * module), y = place(top + rect->y * vertical);
    painter.drawRect(QRectF(x, y, place(left + (rect->x + rect->width) * module) - x,
                            place(top + (rect->y + rect->height) * vertical) - y));
  }
  painter.setPen(Qt::black);
  for (const zint_vector_string* string = vector.strings; string != nullptr; string = string->next) {
    QFont font("WenQuanYi Zen Hei");
    // Text keeps the module's proportions; only bars stretch.
    const double height = string->fsize * module;
    font.setPixelSize(std::max(1, static_cast<int>(height)));
    painter.setFont(font);
    const QRectF box(left + (string->x - string->width / 2) * module, top + string->y * vertical - height,
                     string->width * module, height * 1.2);
    painter.drawText(box, Qt::AlignHCenter | Qt::AlignBottom,
                     QString::fromUtf8(reinterpret_cast<const char*>(string->text), string->length));
  }
  painter.restore();
}

}  // namespace printkit
