// Animated cursor files: the RIFF chunk walk, the frames' icon files rewritten as .ico, and
// the steps resolved from "seq ", "rate" and the header's display rate.
#include "desktop/AniCursor.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <utility>

namespace trs {
namespace {

constexpr size_t RiffHeaderSize = 12;  // "RIFF", size, form type
constexpr size_t ChunkHeaderSize = 8;  // id, size
constexpr size_t AniHeaderSize = 36;
constexpr size_t AniStepsOffset = 8;
constexpr size_t AniDisplayRateOffset = 28;

constexpr size_t IconDirSize = 6;
constexpr size_t IconEntrySize = 16;
constexpr uint32_t IconType = 1;
constexpr uint32_t CursorType = 2;
constexpr size_t BitmapInfoHeaderSize = 40;
constexpr size_t BitmapBitCountOffset = 14;
constexpr std::string_view PngSignature("\x89PNG\r\n\x1a\n", 8);
constexpr uint32_t PngBitCount = 32;

constexpr uint64_t JiffiesPerSecond = 60;

// Little-endian numbers at an offset the caller has checked.
uint32_t U16At(std::string_view bytes, size_t offset) {
  return static_cast<uint32_t>(static_cast<unsigned char>(bytes[offset])) |
         static_cast<uint32_t>(static_cast<unsigned char>(bytes[offset + 1])) << 8;
}

uint32_t U32At(std::string_view bytes, size_t offset) {
  return U16At(bytes, offset) | U16At(bytes, offset + 2) << 16;
}

void AppendU16(std::string& out, uint32_t value) {
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>((value >> 8) & 0xFF);
}

void AppendU32(std::string& out, uint32_t value) {
  AppendU16(out, value & 0xFFFF);
  AppendU16(out, value >> 16);
}

struct TChunk {
  std::string_view Id;
  std::string_view Data;
};

// The chunks of one RIFF container, in order (its size bounds their number). A chunk that
// claims more than its container holds is cut at the container's end, so a truncated file
// keeps the frames that arrived whole; the cut frame then fails its own checks.
std::vector<TChunk> ChunksOf(std::string_view container) {
  std::vector<TChunk> chunks;
  size_t pos = 0;
  while (container.size() - pos >= ChunkHeaderSize) {
    const std::string_view id = container.substr(pos, 4);
    const size_t declared = U32At(container, pos + 4);
    pos += ChunkHeaderSize;
    const size_t size = std::min(declared, container.size() - pos);
    chunks.push_back({id, container.substr(pos, size)});
    pos += size;
    if (size % 2 != 0 && pos < container.size()) ++pos;  // chunks start at even offsets
  }
  return chunks;
}

// The bit count of an icon image: a PNG, or a DIB that starts with a BITMAPINFOHEADER (or a
// later, longer header) of a bit depth that icons use. nullopt for anything else, which no
// image reader could show.
std::optional<uint32_t> ImageBitCount(std::string_view image) {
  if (image.substr(0, PngSignature.size()) == PngSignature) return PngBitCount;
  if (image.size() < BitmapInfoHeaderSize || U32At(image, 0) < BitmapInfoHeaderSize) return std::nullopt;
  const uint32_t bitCount = U16At(image, BitmapBitCountOffset);
  switch (bitCount) {
    case 1: case 4: case 8: case 16: case 24: case 32:
      return bitCount;
    default:
      return std::nullopt;
  }
}

// One .ico or .cur file (the content of an "icon" chunk) as a frame: its usable images in a
// fresh icon file, laid out directory first, then the images in entry order. An entry whose
// image lies outside the file, inside its directory, or is not an image is left out; so is
// one that would take the copied bytes past the file's own image area, which keeps the
// output no larger than the input even when entries share their bytes.
std::optional<TAniFrame> FrameFromIconFile(std::string_view file) {
  if (file.size() < IconDirSize) return std::nullopt;
  const uint32_t type = U16At(file, 2);
  const size_t count = U16At(file, 4);
  if (U16At(file, 0) != 0 || (type != IconType && type != CursorType) || count == 0) return std::nullopt;
  if (count > (file.size() - IconDirSize) / IconEntrySize) return std::nullopt;
  const size_t directoryEnd = IconDirSize + count * IconEntrySize;

  struct TImage {
    std::string_view Entry;  // the original 16 bytes
    std::string_view Data;
    uint32_t BitCount = 0;
  };
  std::vector<TImage> images;
  images.reserve(count);
  size_t budget = file.size() - directoryEnd;
  TAniFrame frame;
  for (size_t i = 0; i < count; ++i) {
    const std::string_view entry = file.substr(IconDirSize + i * IconEntrySize, IconEntrySize);
    const size_t size = U32At(entry, 8);
    const size_t offset = U32At(entry, 12);
    if (offset < directoryEnd || offset > file.size() || size > file.size() - offset || size > budget) continue;
    const std::string_view data = file.substr(offset, size);
    const std::optional<uint32_t> bitCount = ImageBitCount(data);
    if (!bitCount) continue;
    if (type == CursorType && images.empty()) {
      frame.HotspotX = static_cast<int>(U16At(entry, 4));
      frame.HotspotY = static_cast<int>(U16At(entry, 6));
    }
    images.push_back({entry, data, *bitCount});
    budget -= size;
  }
  if (images.empty()) return std::nullopt;

  std::string& out = frame.ImageFile;
  const size_t newDirectoryEnd = IconDirSize + images.size() * IconEntrySize;
  out.reserve(newDirectoryEnd + (file.size() - directoryEnd - budget));
  AppendU16(out, 0);
  AppendU16(out, IconType);
  AppendU16(out, static_cast<uint32_t>(images.size()));
  size_t nextOffset = newDirectoryEnd;  // fits in 32 bits: no larger than the input file
  for (const TImage& image : images) {
    out.append(image.Entry.substr(0, 3));  // width, height, colour count
    out += '\0';                           // reserved
    if (type == CursorType) {
      // The cursor's hotspot fields become what an icon keeps there.
      AppendU16(out, 1);
      AppendU16(out, image.BitCount);
    } else {
      out.append(image.Entry.substr(4, 4));
    }
    AppendU32(out, static_cast<uint32_t>(image.Data.size()));
    AppendU32(out, static_cast<uint32_t>(nextOffset));
    nextOffset += image.Data.size();
  }
  for (const TImage& image : images) out.append(image.Data);
  return frame;
}

// A step lasts at least one jiffy, so that a zero rate cannot make the animation spin.
int DurationMs(uint32_t jiffies) {
  const uint64_t ms = (std::max<uint64_t>(jiffies, 1) * 1000 + JiffiesPerSecond / 2) / JiffiesPerSecond;
  return static_cast<int>(std::min<uint64_t>(ms, INT_MAX));
}

}  // namespace

std::optional<TAniCursor> ParseAniCursor(std::string_view bytes) {
  if (bytes.size() < RiffHeaderSize || bytes.substr(0, 4) != "RIFF" || bytes.substr(8, 4) != "ACON")
    return std::nullopt;
  const size_t riffSize = U32At(bytes, 4);  // counts the form type
  if (riffSize < 4) return std::nullopt;
  const std::string_view body = bytes.substr(RiffHeaderSize, riffSize - 4);

  // The first chunk of each kind counts; INFO lists and unknown chunks are skipped. Only one
  // level of lists is read, so no input can make the walk recurse.
  std::optional<std::string_view> header, rates, sequence, frameList;
  for (const TChunk& chunk : ChunksOf(body)) {
    if (chunk.Id == "anih") {
      if (!header && chunk.Data.size() >= AniHeaderSize) header = chunk.Data;
    } else if (chunk.Id == "rate") {
      if (!rates) rates = chunk.Data;
    } else if (chunk.Id == "seq ") {
      if (!sequence) sequence = chunk.Data;
    } else if (chunk.Id == "LIST") {
      if (!frameList && chunk.Data.substr(0, 4) == "fram") frameList = chunk.Data.substr(4);
    }
  }
  // The header's frame count and the AF_ICON and AF_SEQUENCE flags are not needed: the
  // frames are those present, an "icon" chunk that is not an icon or cursor file fails its
  // own checks, and the "seq " chunk is used when it is there.
  if (!header || !frameList) return std::nullopt;

  TAniCursor cursor;
  std::vector<int> frameOfChunk;  // index in cursor.Frames of each "icon" chunk, or -1
  for (const TChunk& chunk : ChunksOf(*frameList)) {
    if (chunk.Id != "icon") continue;
    std::optional<TAniFrame> frame = FrameFromIconFile(chunk.Data);
    frameOfChunk.push_back(frame ? static_cast<int>(cursor.Frames.size()) : -1);
    if (frame) cursor.Frames.push_back(std::move(*frame));
  }
  if (cursor.Frames.empty()) return std::nullopt;

  const uint32_t displayRate = U32At(*header, AniDisplayRateOffset);
  const size_t rateCount = rates ? rates->size() / 4 : 0;
  auto stepDuration = [&](size_t step) {
    return DurationMs(step < rateCount ? U32At(*rates, step * 4) : displayRate);
  };
  auto addStep = [&](size_t step, size_t chunkIndex) {
    if (chunkIndex < frameOfChunk.size() && frameOfChunk[chunkIndex] >= 0)
      cursor.Steps.push_back({frameOfChunk[chunkIndex], stepDuration(step)});
  };
  if (sequence) {
    size_t stepCount = sequence->size() / 4;
    const size_t headerSteps = U32At(*header, AniStepsOffset);
    if (headerSteps != 0) stepCount = std::min(stepCount, headerSteps);
    for (size_t step = 0; step < stepCount; ++step) addStep(step, U32At(*sequence, step * 4));
  }
  // Without a sequence, or when it names no frame that is there, the frames play in order.
  if (cursor.Steps.empty())
    for (size_t step = 0; step < frameOfChunk.size(); ++step) addStep(step, step);
  return cursor;
}

std::optional<TAniCursor> LoadAniCursorFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  const std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  if (file.bad()) return std::nullopt;
  return ParseAniCursor(bytes);
}

}  // namespace trs
