#include "LabelOutput.h"

#include <QBuffer>
#include <QFont>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include <cmath>

#include "BarcodeSymbol.h"
#include "QtRuntime.h"

namespace printkit {

namespace {

constexpr int PdfDpi = 600;

// One label's fields, drawn at the label's corner (mm) on a painter in dots.
void DrawLabel(QPainter& painter, const TLabelStyle& style, const TLabelData& data, const std::vector<std::string>& row,
               double xMm, double yMm, double dotsPerMm, bool snap) {
  for (const TLabelField& field : style.Fields) {
    const std::string text = FillText(field.Text, data.Columns, row);
    if (field.Barcode) {
      DrawBarcode(painter, field, text, xMm, yMm, dotsPerMm, snap);
      continue;
    }
    QFont font(QString::fromStdString(field.Font));
    font.setPixelSize(std::max(1, static_cast<int>(field.SizeMm * dotsPerMm)));
    font.setBold(field.Bold);
    font.setStyleStrategy(snap ? QFont::NoAntialias : QFont::PreferDefault);
    painter.setFont(font);
    painter.setPen(Qt::black);
    const QRectF box((xMm + field.Box.X) * dotsPerMm, (yMm + field.Box.Y) * dotsPerMm, field.Box.Width * dotsPerMm,
                     field.Box.Height * dotsPerMm);
    const int align = field.Align == TAlign::Center ? Qt::AlignHCenter : field.Align == TAlign::Right ? Qt::AlignRight : Qt::AlignLeft;
    painter.drawText(box, align | Qt::AlignTop | Qt::TextWordWrap, QString::fromStdString(text));
  }
}

std::string LabelsPdf(const TLabelStyle& style, const TLabelData& data, int copies, int startSlot) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  {
    QPdfWriter writer(&buffer);
    writer.setResolution(PdfDpi);
    writer.setPageSize(QPageSize(QSizeF(style.PageWidthMm, style.PageHeightMm), QPageSize::Millimeter));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    writer.setCreator("TallyReportSrv");
    writer.setTitle(QString::fromStdString(style.Name));
    QPainter painter(&writer);
    if (!painter.isActive()) throw TPrintError("cannot draw the labels as PDF");
    const double dotsPerMm = PdfDpi / 25.4;
    int slot = style.Sheet ? std::clamp(startSlot, 1, style.SlotsPerPage()) - 1 : 0;
    bool pageUsed = false;
    for (const auto& row : data.Rows)
      for (int copy = 0; copy < copies; ++copy) {
        if (pageUsed && slot == 0) writer.newPage();
        const TBox place = style.Slot(slot);
        DrawLabel(painter, style, data, row, place.X, place.Y, dotsPerMm, false);
        pageUsed = true;
        slot = (slot + 1) % style.SlotsPerPage();
      }
  }
  return bytes.toStdString();
}

// A label as a 1-bit image at the printer's resolution: rows of bytes, the most
// significant bit first, 1 for a black dot.
struct TBitmap {
  int Width = 0, Height = 0, RowBytes = 0;
  std::string Bits;
};

TBitmap Rasterize(const TLabelStyle& style, const TLabelData& data, const std::vector<std::string>& row) {
  const double dotsPerMm = style.Dpi / 25.4;
  QImage image(static_cast<int>(std::lround(style.LabelWidthMm * dotsPerMm)),
               static_cast<int>(std::lround(style.LabelHeightMm * dotsPerMm)), QImage::Format_RGB32);
  image.fill(Qt::white);
  {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    DrawLabel(painter, style, data, row, 0, 0, dotsPerMm, true);
  }
  TBitmap bitmap{image.width(), image.height(), (image.width() + 7) / 8, {}};
  bitmap.Bits.assign(static_cast<size_t>(bitmap.RowBytes) * bitmap.Height, '\0');
  for (int y = 0; y < image.height(); ++y) {
    const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = 0; x < image.width(); ++x)
      if (qGray(line[x]) < 128) bitmap.Bits[static_cast<size_t>(y * bitmap.RowBytes + x / 8)] |= static_cast<char>(0x80 >> (x % 8));
  }
  return bitmap;
}

std::string Zpl(const TBitmap& bitmap, int copies) {
  static const char hex[] = "0123456789ABCDEF";
  std::string data;
  data.reserve(bitmap.Bits.size() * 2);
  for (const char c : bitmap.Bits) {
    data += hex[(static_cast<unsigned char>(c) >> 4) & 0xF];
    data += hex[static_cast<unsigned char>(c) & 0xF];
  }
  const std::string total = std::to_string(bitmap.Bits.size());
  return "^XA^PW" + std::to_string(bitmap.Width) + "^LL" + std::to_string(bitmap.Height) + "^FO0,0^GFA," + total + "," +
         total + "," + std::to_string(bitmap.RowBytes) + "," + data + "^FS^PQ" + std::to_string(copies) + "^XZ\n";
}

// TSPL's BITMAP takes 0 for a black dot.
std::string Tspl(const TLabelStyle& style, const TBitmap& bitmap, int copies) {
  std::string inverted = bitmap.Bits;
  for (char& c : inverted) c = static_cast<char>(~c);
  char size[96];
  std::snprintf(size, sizeof size, "SIZE %.1f mm,%.1f mm\r\nGAP 2 mm,0 mm\r\nCLS\r\n", style.LabelWidthMm, style.LabelHeightMm);
  return size + ("BITMAP 0,0," + std::to_string(bitmap.RowBytes) + "," + std::to_string(bitmap.Height) + ",0,") + inverted +
         "\r\nPRINT 1," + std::to_string(copies) + "\r\n";
}

}  // namespace

TJob LabelJob(const TLabelStyle& style, const TLabelData& data, int copies, int startSlot) {
  EnsureGuiApplication();
  TJob job;
  job.Title = style.Name.empty() ? "labels" : style.Name;
  if (style.Form == TLabelForm::Pdf) {
    job.Format = TJobFormat::Pdf;
    job.Bytes = LabelsPdf(style, data, copies, startSlot);
    char media[64];
    std::snprintf(media, sizeof media, "media=Custom.%gx%gmm", style.PageWidthMm, style.PageHeightMm);
    job.CupsOptions = media;
    return job;
  }
  job.Format = TJobFormat::Raw;
  for (const auto& row : data.Rows) {
    const TBitmap bitmap = Rasterize(style, data, row);
    job.Bytes += style.Form == TLabelForm::Zpl ? Zpl(bitmap, copies) : Tspl(style, bitmap, copies);
  }
  return job;
}

}  // namespace printkit
