// Fuzz target: the argument splitter, whose items must be trimmed and account for every
// separator of the input.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "drivers/fuReportBase.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> items;
  trs::TReportBase::SplitArgs(text, &items, ',');
  const std::string_view trimmed = trs::Trim(text);
  size_t separators = 0;
  for (char c : trimmed) separators += c == ',';
  if (trimmed.empty() ? !items.empty() : items.size() != separators + 1) std::abort();
  for (const std::string& item : items)
    if (!item.empty() && (static_cast<unsigned char>(item.front()) <= 32 || static_cast<unsigned char>(item.back()) <= 32))
      std::abort();
  return 0;
}
