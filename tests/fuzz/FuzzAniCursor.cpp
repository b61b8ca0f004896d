// Fuzz target: the animated cursor parser. A cursor it accepts must keep its invariants:
// frames and steps present, every step on a frame that exists and lasting at least one
// jiffy, and every frame a well-formed icon file whose images lie inside it, no larger in
// all than the input they came from.
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "desktop/AniCursor.h"

namespace {

uint32_t U16At(std::string_view bytes, size_t offset) {
  return static_cast<uint32_t>(static_cast<unsigned char>(bytes[offset])) |
         static_cast<uint32_t>(static_cast<unsigned char>(bytes[offset + 1])) << 8;
}

uint32_t U32At(std::string_view bytes, size_t offset) { return U16At(bytes, offset) | U16At(bytes, offset + 2) << 16; }

void CheckIconFile(std::string_view file) {
  if (file.size() < 6 || U16At(file, 0) != 0 || U16At(file, 2) != 1) std::abort();
  const size_t count = U16At(file, 4);
  if (count == 0 || file.size() < 6 + 16 * count) std::abort();
  for (size_t i = 0; i < count; ++i) {
    const size_t entry = 6 + 16 * i;
    const size_t size = U32At(file, entry + 8);
    const size_t offset = U32At(file, entry + 12);
    if (offset < 6 + 16 * count || offset > file.size() || size > file.size() - offset) std::abort();
    const std::string_view image = file.substr(offset, size);
    const bool png = image.substr(0, 8) == std::string_view("\x89PNG\r\n\x1a\n", 8);
    const bool dib = image.size() >= 40 && U32At(image, 0) >= 40;
    if (!png && !dib) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::optional<trs::TAniCursor> cursor = trs::ParseAniCursor(bytes);
  if (!cursor) return 0;
  if (cursor->Frames.empty() || cursor->Steps.empty()) std::abort();
  size_t total = 0;
  for (const trs::TAniFrame& frame : cursor->Frames) {
    CheckIconFile(frame.ImageFile);
    if (frame.HotspotX < 0 || frame.HotspotX > 0xFFFF || frame.HotspotY < 0 || frame.HotspotY > 0xFFFF) std::abort();
    total += frame.ImageFile.size();
  }
  if (total > size) std::abort();
  for (const trs::TAniStep& step : cursor->Steps)
    if (step.Frame < 0 || static_cast<size_t>(step.Frame) >= cursor->Frames.size() || step.DurationMs < 17) std::abort();
  return 0;
}
