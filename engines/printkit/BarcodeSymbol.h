// Barcodes through zint, drawn with QPainter into a field's box: bars and cells as filled
// rectangles (so PDF output stays sharp at any resolution), and on raster printers snapped
// to whole dots. Text is UTF-8; QR and Data Matrix take Chinese (zint adds the ECI itself).
#pragma once

#include <string>

#include "LabelStyle.h"

class QPainter;

namespace printkit {

// Draws `text` as `field` asks into its box, offset by the label's corner (mm), on a
// painter whose units are dots at `dotsPerMm`. `snap`: whole dots per module (raster).
// TPrintError when zint refuses the text or the box cannot hold the symbol at the field's
// minimum module width.
void DrawBarcode(QPainter& painter, const TLabelField& field, const std::string& text, double originXMm,
                 double originYMm, double dotsPerMm, bool snap);

}  // namespace printkit
