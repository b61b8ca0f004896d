// The animated cursor parser on small files assembled here chunk by chunk: frames rewritten
// as icon files, hotspots, steps, padding and unknown chunks, and what it refuses.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "desktop/AniCursor.h"

namespace trs {
namespace {

constexpr uint32_t AfIcon = 1;
constexpr uint32_t AfSequence = 2;
constexpr uint32_t IconType = 1;
constexpr uint32_t CursorType = 2;

std::string U16(uint32_t value) {
  return {static_cast<char>(value & 0xFF), static_cast<char>((value >> 8) & 0xFF)};
}

std::string U32(uint32_t value) { return U16(value & 0xFFFF) + U16(value >> 16); }

std::string Words(std::initializer_list<uint32_t> values) {
  std::string out;
  for (uint32_t value : values) out += U32(value);
  return out;
}

// One chunk, with the pad byte that keeps the next one at an even offset.
std::string Chunk(const std::string& id, const std::string& data) {
  std::string out = id + U32(static_cast<uint32_t>(data.size())) + data;
  if (data.size() % 2 != 0) out += '\0';
  return out;
}

std::string List(const std::string& type, const std::string& chunks) { return Chunk("LIST", type + chunks); }

std::string Riff(const std::string& chunks) {
  return "RIFF" + U32(static_cast<uint32_t>(4 + chunks.size())) + "ACON" + chunks;
}

std::string AniHeader(uint32_t frames, uint32_t steps, uint32_t displayRate, uint32_t flags = AfIcon) {
  return Words({36, frames, steps, 0, 0, 0, 0, displayRate, flags});
}

// A 2x2 DIB as icons store it: BITMAPINFOHEADER with the height doubled for the mask, a
// two-colour palette below 16 bits, the pixel rows, then the AND mask (rows of 32 bits).
std::string Dib(uint32_t bitCount) {
  std::string out = Words({40, 2, 4}) + U16(1) + U16(bitCount) + Words({0, 0, 0, 0, 0, 0});
  if (bitCount < 16) out += Words({0x000000, 0xFFFFFF});
  const uint32_t rowBytes = (2 * bitCount + 31) / 32 * 4;
  out += std::string(2 * rowBytes, '\x5A') + std::string(8, '\0');
  return out;
}

// The image readers decode it; the parser looks at the signature only.
std::string Png() { return std::string("\x89PNG\r\n\x1a\n", 8) + Chunk("IHDR", std::string(13, '\x01')); }

struct TEntry {
  uint32_t Field4 = 0;  // planes, or the cursor's hotspot x
  uint32_t Field6 = 0;  // bit count, or the cursor's hotspot y
  std::string Image;
};

// An .ico (type 1) or .cur (type 2) file of 2x2 images: directory, then the images in order.
std::string IconFile(uint32_t type, const std::vector<TEntry>& entries) {
  std::string directory = U16(0) + U16(type) + U16(static_cast<uint32_t>(entries.size()));
  std::string images;
  size_t offset = 6 + 16 * entries.size();
  for (const TEntry& entry : entries) {
    directory += std::string("\x02\x02\x00\x00", 4) + U16(entry.Field4) + U16(entry.Field6) +
                 U32(static_cast<uint32_t>(entry.Image.size())) + U32(static_cast<uint32_t>(offset));
    images += entry.Image;
    offset += entry.Image.size();
  }
  return directory + images;
}

std::string CursorFile(uint32_t hotX, uint32_t hotY) { return IconFile(CursorType, {{hotX, hotY, Dib(32)}}); }

std::string FrameList(const std::vector<std::string>& iconFiles) {
  std::string chunks;
  for (const std::string& file : iconFiles) chunks += Chunk("icon", file);
  return List("fram", chunks);
}

// An .ani file with the given frames, shown in order at 6 jiffies (100 ms) each.
std::string Ani(const std::vector<std::string>& iconFiles) {
  const auto count = static_cast<uint32_t>(iconFiles.size());
  return Riff(Chunk("anih", AniHeader(count, count, 6)) + FrameList(iconFiles));
}

std::string Patched(std::string bytes, size_t at, const std::string& with) {
  return bytes.replace(at, with.size(), with);
}

std::vector<std::pair<int, int>> StepsOf(const TAniCursor& cursor) {
  std::vector<std::pair<int, int>> steps;
  for (const TAniStep& step : cursor.Steps) steps.emplace_back(step.Frame, step.DurationMs);
  return steps;
}

std::vector<std::pair<int, int>> HotspotsOf(const TAniCursor& cursor) {
  std::vector<std::pair<int, int>> hotspots;
  for (const TAniFrame& frame : cursor.Frames) hotspots.emplace_back(frame.HotspotX, frame.HotspotY);
  return hotspots;
}

TEST(AniCursorTest, CursorFramesBecomeIconFilesWithTheirHotspots) {
  const std::optional<TAniCursor> cursor = ParseAniCursor(Ani({CursorFile(1, 0), CursorFile(3, 2)}));
  ASSERT_TRUE(cursor);
  EXPECT_EQ(HotspotsOf(*cursor), (std::vector<std::pair<int, int>>{{1, 0}, {3, 2}}));
  const std::string asIcon = IconFile(IconType, {{1, 32, Dib(32)}});
  EXPECT_EQ(cursor->Frames[0].ImageFile, asIcon);
  EXPECT_EQ(cursor->Frames[1].ImageFile, asIcon);
}

TEST(AniCursorTest, CursorEntriesTakeTheBitCountOfTheirImage) {
  const std::string cur = IconFile(CursorType, {{5, 6, Dib(8)}, {7, 8, Png()}, {9, 9, Dib(24)}});
  const std::optional<TAniCursor> cursor = ParseAniCursor(Ani({cur}));
  ASSERT_TRUE(cursor);
  ASSERT_EQ(cursor->Frames.size(), 1u);
  EXPECT_EQ(cursor->Frames[0].ImageFile, IconFile(IconType, {{1, 8, Dib(8)}, {1, 32, Png()}, {1, 24, Dib(24)}}));
  EXPECT_EQ(HotspotsOf(*cursor), (std::vector<std::pair<int, int>>{{5, 6}}));
}

TEST(AniCursorTest, IconFramesKeepTheirEntriesAndHaveNoHotspot) {
  // Whatever an icon's entry says of planes and bit count is its own business.
  const std::string ico = IconFile(IconType, {{0, 0, Dib(32)}, {1, 4, Png()}});
  const std::optional<TAniCursor> cursor = ParseAniCursor(Ani({ico}));
  ASSERT_TRUE(cursor);
  EXPECT_EQ(cursor->Frames[0].ImageFile, ico);
  EXPECT_EQ(HotspotsOf(*cursor), (std::vector<std::pair<int, int>>{{0, 0}}));
}

// Faults of the first entry of a cursor file whose images are [first, second].
struct TEntryFault {
  const char* Name;
  std::function<std::string(std::string)> Apply;
};

const size_t FirstEntry = 6;
const std::vector<TEntryFault> EntryFaults = {
    {"image offset past the end", [](std::string f) { return Patched(f, FirstEntry + 12, U32(static_cast<uint32_t>(f.size()) + 1)); }},
    {"image size past the end", [](std::string f) { return Patched(f, FirstEntry + 8, U32(0xFFFFFFF0)); }},
    {"image inside the directory", [](std::string f) { return Patched(f, FirstEntry + 12, U32(4)); }},
    {"image neither PNG nor DIB",  // the last 40 bytes of the file: pixels and mask
     [](std::string f) { return Patched(f, FirstEntry + 8, U32(40) + U32(static_cast<uint32_t>(f.size()) - 40)); }},
};

// The file with `header` written over the start of its first image (right after the
// directory of `entries` entries).
std::string WithFirstImageFault(const std::string& file, size_t entries, const std::string& header) {
  return Patched(file, 6 + 16 * entries, header);
}

TEST(AniCursorTest, UnreadableEntriesAreLeftOutOfTheFrame) {
  const std::string second = Dib(32);
  const std::vector<TEntry> entries = {{1, 1, Dib(32)}, {3, 4, second}};
  std::vector<std::pair<std::string, std::string>> cases;
  for (const TEntryFault& fault : EntryFaults) cases.emplace_back(fault.Name, fault.Apply(IconFile(CursorType, entries)));
  cases.emplace_back("DIB header of 12 bytes", WithFirstImageFault(IconFile(CursorType, entries), 2, U32(12)));
  cases.emplace_back("DIB of 7 bits a pixel", WithFirstImageFault(IconFile(CursorType, entries), 2, Words({40, 2, 4}) + U16(1) + U16(7)));
  for (const auto& [name, file] : cases) {
    SCOPED_TRACE(name);
    const std::optional<TAniCursor> cursor = ParseAniCursor(Ani({file}));
    ASSERT_TRUE(cursor);
    EXPECT_EQ(cursor->Frames[0].ImageFile, IconFile(IconType, {{1, 32, second}}));
    EXPECT_EQ(HotspotsOf(*cursor), (std::vector<std::pair<int, int>>{{3, 4}}));
  }
}

TEST(AniCursorTest, EntriesSharingOneImageCopyItOnce) {
  // Two entries over the same bytes: copying both would let a file multiply its own size.
  std::string cur = IconFile(CursorType, {{1, 1, Dib(32)}, {2, 2, ""}});
  cur = Patched(cur, 6 + 16 + 8, cur.substr(6 + 8, 8));
  const std::optional<TAniCursor> cursor = ParseAniCursor(Ani({cur}));
  ASSERT_TRUE(cursor);
  EXPECT_EQ(cursor->Frames[0].ImageFile, IconFile(IconType, {{1, 32, Dib(32)}}));
}

struct TStepCase {
  const char* Name;
  std::string Chunks;  // between "anih" and the frames
  uint32_t HeaderSteps;
  uint32_t DisplayRate;
  std::vector<std::pair<int, int>> Steps;
};

TEST(AniCursorTest, StepsComeFromSeqRateAndDisplayRate) {
  const std::vector<TStepCase> cases = {
      {"frames in order at the display rate", "", 3, 6, {{0, 100}, {1, 100}, {2, 100}}},
      {"a rate for each step", Chunk("rate", Words({3, 6, 9})), 3, 6, {{0, 50}, {1, 100}, {2, 150}}},
      {"a short rate chunk", Chunk("rate", Words({3})), 3, 12, {{0, 50}, {1, 200}, {2, 200}}},
      {"a sequence at the display rate", Chunk("seq ", Words({1, 1, 0})), 3, 12, {{1, 200}, {1, 200}, {0, 200}}},
      {"a sequence with rates", Chunk("seq ", Words({2, 0, 2, 1})) + Chunk("rate", Words({3, 6, 9, 12})), 4, 6,
       {{2, 50}, {0, 100}, {2, 150}, {1, 200}}},
      {"the header's step count cuts the sequence", Chunk("seq ", Words({2, 1, 0})), 2, 6, {{2, 100}, {1, 100}}},
      {"a step count of zero takes the whole sequence", Chunk("seq ", Words({2, 1, 0})), 0, 6, {{2, 100}, {1, 100}, {0, 100}}},
      {"steps naming missing frames", Chunk("seq ", Words({0, 7, 2, 0xFFFFFFFF})) + Chunk("rate", Words({3, 6, 9, 12})), 4, 6,
       {{0, 50}, {2, 150}}},
      {"a sequence naming no frame plays them in order", Chunk("seq ", Words({3, 4})), 2, 6, {{0, 100}, {1, 100}, {2, 100}}},
      {"jiffies rounded to milliseconds", "", 3, 10, {{0, 167}, {1, 167}, {2, 167}}},
      {"zero jiffies last one", Chunk("rate", Words({0})), 3, 0, {{0, 17}, {1, 17}, {2, 17}}},
      {"the longest rate", Chunk("rate", Words({0xFFFFFFFF})), 3, 6, {{0, INT_MAX}, {1, 100}, {2, 100}}},
  };
  for (const TStepCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string file = Riff(Chunk("anih", AniHeader(3, c.HeaderSteps, c.DisplayRate, AfIcon | AfSequence)) + c.Chunks +
                                  FrameList({CursorFile(0, 0), CursorFile(1, 1), CursorFile(2, 2)}));
    const std::optional<TAniCursor> cursor = ParseAniCursor(file);
    ASSERT_TRUE(cursor);
    EXPECT_EQ(cursor->Frames.size(), 3u);
    EXPECT_EQ(StepsOf(*cursor), c.Steps);
  }
}

TEST(AniCursorTest, UnusableFrameIsLeftOutAndStepsFollowTheRest) {
  const std::string file = Riff(Chunk("anih", AniHeader(3, 3, 6)) + Chunk("rate", Words({3, 6, 9})) +
                                FrameList({CursorFile(1, 1), "not an icon", CursorFile(2, 2)}));
  const std::optional<TAniCursor> cursor = ParseAniCursor(file);
  ASSERT_TRUE(cursor);
  EXPECT_EQ(HotspotsOf(*cursor), (std::vector<std::pair<int, int>>{{1, 1}, {2, 2}}));
  EXPECT_EQ(StepsOf(*cursor), (std::vector<std::pair<int, int>>{{0, 50}, {1, 150}}));
}

TEST(AniCursorTest, FramesPresentCountWhateverTheHeaderSays) {
  for (uint32_t headerFrames : {0u, 1u, 5u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(headerFrames);
    const std::string file =
        Riff(Chunk("anih", AniHeader(headerFrames, headerFrames, 6)) + FrameList({CursorFile(1, 1), CursorFile(2, 2)}));
    const std::optional<TAniCursor> cursor = ParseAniCursor(file);
    ASSERT_TRUE(cursor);
    EXPECT_EQ(HotspotsOf(*cursor), (std::vector<std::pair<int, int>>{{1, 1}, {2, 2}}));
    EXPECT_EQ(StepsOf(*cursor), (std::vector<std::pair<int, int>>{{0, 100}, {1, 100}}));
  }
}

TEST(AniCursorTest, OddSizedChunksArePaddedToEvenOffsets) {
  // Each odd chunk is followed by its pad byte; reading the pad as the next chunk's id would
  // lose the header or the frames.
  const std::string oddCursor = CursorFile(1, 2) + "x";
  const std::string file = Riff(List("INFO", Chunk("INAM", "abc") + Chunk("IART", "d")) + Chunk("anih", AniHeader(2, 2, 6)) +
                                Chunk("rate", Words({6, 12}) + "z") + FrameList({oddCursor, oddCursor}));
  const std::optional<TAniCursor> cursor = ParseAniCursor(file);
  ASSERT_TRUE(cursor);
  EXPECT_EQ(HotspotsOf(*cursor), (std::vector<std::pair<int, int>>{{1, 2}, {1, 2}}));
  EXPECT_EQ(StepsOf(*cursor), (std::vector<std::pair<int, int>>{{0, 100}, {1, 200}}));
}

TEST(AniCursorTest, UnknownChunksAndListsAreSkipped) {
  // An "icon" chunk outside the frame list is no frame; unknown chunks inside it are skipped.
  const std::string file =
      Riff(Chunk("xtra", "12345") + Chunk("anih", AniHeader(2, 2, 6)) + List("othr", Chunk("icon", CursorFile(9, 9))) +
           Chunk("icon", CursorFile(8, 8)) +
           List("fram", Chunk("icon", CursorFile(1, 1)) + Chunk("junk", "abc") + Chunk("icon", CursorFile(2, 2))) +
           FrameList({CursorFile(7, 7)}));
  const std::optional<TAniCursor> cursor = ParseAniCursor(file);
  ASSERT_TRUE(cursor);
  EXPECT_EQ(HotspotsOf(*cursor), (std::vector<std::pair<int, int>>{{1, 1}, {2, 2}}));
  EXPECT_EQ(StepsOf(*cursor), (std::vector<std::pair<int, int>>{{0, 100}, {1, 100}}));
}

TEST(AniCursorTest, TruncatedFileKeepsTheFramesThatArrivedWhole) {
  const std::string head = "RIFF....ACON" + Chunk("anih", AniHeader(2, 2, 6)) + "LIST....fram";
  const std::string first = Chunk("icon", CursorFile(1, 1));
  const std::string file = Ani({CursorFile(1, 1), CursorFile(2, 2)});
  ASSERT_EQ(file.substr(head.size(), first.size()), first);

  for (size_t cut = 0; cut < head.size() + first.size(); ++cut) {
    SCOPED_TRACE(cut);
    EXPECT_FALSE(ParseAniCursor(file.substr(0, cut)));
  }
  for (size_t cut = head.size() + first.size(); cut < file.size(); ++cut) {
    SCOPED_TRACE(cut);
    const std::optional<TAniCursor> cursor = ParseAniCursor(file.substr(0, cut));
    ASSERT_TRUE(cursor);
    EXPECT_EQ(HotspotsOf(*cursor), (std::vector<std::pair<int, int>>{{1, 1}}));
  }
  // The RIFF size is the end of the file, whatever follows it.
  const std::string shortened = Patched(file, 4, U32(static_cast<uint32_t>(head.size() + first.size() - 8)));
  const std::optional<TAniCursor> cursor = ParseAniCursor(shortened);
  ASSERT_TRUE(cursor);
  EXPECT_EQ(cursor->Frames.size(), 1u);
}

TEST(AniCursorTest, MalformedFilesGiveNoCursor) {
  const std::string good = CursorFile(1, 1);
  const std::string header = Chunk("anih", AniHeader(1, 1, 6));
  std::vector<std::pair<std::string, std::string>> cases = {
      {"no bytes", ""},
      {"another RIFF form", Patched(Ani({good}), 8, "AVI ")},
      {"a big-endian RIFF", Patched(Ani({good}), 0, "RIFX")},
      {"a RIFF size without the form type", Patched(Ani({good}), 4, U32(3))},
      {"no header", Riff(FrameList({good}))},
      {"a header of 35 bytes", Riff(Chunk("anih", AniHeader(1, 1, 6).substr(0, 35)) + FrameList({good}))},
      {"no frame list", Riff(header + Chunk("icon", good))},
      {"an empty frame list", Riff(header + FrameList({}))},
      {"raw bitmap frames", Riff(Chunk("anih", AniHeader(1, 1, 6, 0)) + FrameList({Dib(32)}))},
      {"an empty frame", Riff(header + FrameList({""}))},
      {"an icon directory not reserved 0", Ani({Patched(good, 0, U16(1))})},
      {"an icon directory of type 3", Ani({Patched(good, 2, U16(3))})},
      {"an icon directory of no entries", Ani({Patched(good, 4, U16(0))})},
      {"more entries than bytes", Ani({Patched(good, 4, U16(0xFFFF))})},
      {"an icon directory cut short", Ani({good.substr(0, 5)})},
      {"a DIB header of 12 bytes", Ani({WithFirstImageFault(good, 1, U32(12))})},
      {"a DIB of 7 bits a pixel", Ani({WithFirstImageFault(good, 1, Words({40, 2, 4}) + U16(1) + U16(7))})},
  };
  for (const TEntryFault& fault : EntryFaults) cases.emplace_back(fault.Name, Ani({fault.Apply(good)}));
  for (const auto& [name, bytes] : cases) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(ParseAniCursor(bytes));
  }
}

TEST(AniCursorTest, LoadsFromAFile) {
  const std::string path = testing::TempDir() + "AniCursorTest_vxBusy.ani";
  const std::string bytes = Ani({CursorFile(1, 1), CursorFile(2, 2)});
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    ASSERT_TRUE(out.good());
  }
  const std::optional<TAniCursor> loaded = LoadAniCursorFile(path);
  std::remove(path.c_str());
  ASSERT_TRUE(loaded);
  EXPECT_EQ(HotspotsOf(*loaded), (std::vector<std::pair<int, int>>{{1, 1}, {2, 2}}));
  EXPECT_EQ(loaded->Frames[1].ImageFile, ParseAniCursor(bytes)->Frames[1].ImageFile);

  EXPECT_FALSE(LoadAniCursorFile(path));  // removed: missing
}

}  // namespace
}  // namespace trs
