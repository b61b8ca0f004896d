// A receipt as a PDF page.
#include <QBuffer>
#include <QFont>
#include <QFontMetricsF>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include "PrintTarget.h"
#include "QtRuntime.h"
#include "ReceiptOutput.h"

namespace printkit {

namespace {

constexpr int Dpi = 300;
constexpr double MarginMm = 3.0;

double MmToDots(double mm) { return mm * Dpi / 25.4; }

}  // namespace

std::string ReceiptPdf(const TReceipt& receipt) {
  EnsureGuiApplication();
  // 80 mm paper prints 72 mm; one column is that divided by the columns (48: 1.5 mm).
  const double printableMm = receipt.Columns <= 32 ? 48.0 : 72.0;
  const double columnMm = printableMm / receipt.Columns;
  const double lineMm = columnMm * 2.4;
  double heightMm = 2 * MarginMm;
  for (const TReceiptLine& line : receipt.Lines) heightMm += line.Large ? 2 * lineMm : lineMm;

  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  {
    QPdfWriter writer(&buffer);
    writer.setResolution(Dpi);
    writer.setPageSize(QPageSize(QSizeF(printableMm + 2 * MarginMm, heightMm), QPageSize::Millimeter));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    writer.setCreator("TallyReportSrv");
    QPainter painter(&writer);
    if (!painter.isActive()) throw TPrintError("cannot draw the receipt as PDF");
    QFont font("WenQuanYi Zen Hei Mono");
    font.setStyleHint(QFont::Monospace);
    double y = MmToDots(MarginMm);
    for (const TReceiptLine& line : receipt.Lines) {
      const double scale = line.Large ? 2.0 : 1.0;
      font.setPixelSize(static_cast<int>(MmToDots(columnMm * 2 * scale * 0.92)));
      font.setBold(line.Bold);
      painter.setFont(font);
      const double height = MmToDots(lineMm * scale);
      const QRectF box(MmToDots(MarginMm), y, MmToDots(printableMm), height);
      const Qt::Alignment align = line.Align == TAlign::Center ? Qt::AlignHCenter
                                  : line.Align == TAlign::Right ? Qt::AlignRight
                                                                : Qt::AlignLeft;
      painter.drawText(box, static_cast<int>(align | Qt::AlignVCenter), QString::fromStdString(line.Text));
      y += height;
    }
  }
  return bytes.toStdString();
}

}  // namespace printkit
