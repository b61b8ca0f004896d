// Labels laid out in a style and turned into a job: a PDF of sheets (or of roll labels),
// or for label printers a 1-bit raster per label packed as ZPL (^GFA) or TSPL (BITMAP).
#pragma once

#include <string>
#include <vector>

#include "LabelStyle.h"
#include "PrintTarget.h"

namespace printkit {

struct TLabelData {
  std::vector<std::string> Columns;             // UTF-8 names
  std::vector<std::vector<std::string>> Rows;   // UTF-8 values
};

// `copies` labels of each row, in order. Sheets: the first label goes to the 1-based
// `startSlot` of the first sheet, later sheets start at their first slot; rolls ignore it.
TJob LabelJob(const TLabelStyle& style, const TLabelData& data, int copies, int startSlot);

}  // namespace printkit
