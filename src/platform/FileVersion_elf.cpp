// ELF: the version record is the section ".vs_fixedfileinfo", found through the section
// header table and the section name string table of a little-endian ELF32 or ELF64 file.
#include "platform/FileVersion.h"

#include <cstring>
#include <fstream>

namespace trs {
namespace {

// Where the parser's bytes come from: an image in memory, or a file read piece by piece
// so that a large program is not loaded whole to find 52 bytes. A read either delivers
// every byte asked for or fails; nothing is read outside [0, Size()).
class TImageSource {
 public:
  virtual ~TImageSource() = default;
  virtual uint64_t Size() const = 0;
  virtual bool Read(uint64_t offset, size_t count, unsigned char* out) = 0;

  bool Holds(uint64_t offset, uint64_t count) const {
    return offset <= Size() && count <= Size() - offset;
  }
};

class TMemorySource : public TImageSource {
 public:
  explicit TMemorySource(std::string_view image) : Image(image) {}
  uint64_t Size() const override { return Image.size(); }
  bool Read(uint64_t offset, size_t count, unsigned char* out) override {
    if (!Holds(offset, count)) return false;
    std::memcpy(out, Image.data() + offset, count);
    return true;
  }

 private:
  std::string_view Image;
};

class TFileSource : public TImageSource {
 public:
  explicit TFileSource(const std::string& path) : File(path, std::ios::binary) {
    if (!File.is_open() || !File.seekg(0, std::ios::end)) return;
    const std::streamoff end = File.tellg();
    if (end > 0) FileSize = static_cast<uint64_t>(end);
  }
  uint64_t Size() const override { return FileSize; }
  bool Read(uint64_t offset, size_t count, unsigned char* out) override {
    if (!Holds(offset, count)) return false;
    File.clear();
    if (!File.seekg(static_cast<std::streamoff>(offset))) return false;
    File.read(reinterpret_cast<char*>(out), static_cast<std::streamsize>(count));
    return File.gcount() == static_cast<std::streamsize>(count);
  }

 private:
  std::ifstream File;
  uint64_t FileSize = 0;  // 0 also for a file that could not be opened: every read fails
};

uint32_t Le16(const unsigned char* p) { return p[0] | (p[1] << 8); }
uint32_t Le32(const unsigned char* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
uint64_t Le64(const unsigned char* p) { return Le32(p) | (static_cast<uint64_t>(Le32(p + 4)) << 32); }

constexpr uint32_t SectionTypeNoBits = 8;   // SHT_NOBITS: the section has no bytes in the file
constexpr uint32_t SectionIndexEscape = 0xFFFF;  // SHN_XINDEX: the real index is elsewhere

// The fields of a section header this parser uses.
struct TSection {
  uint32_t Name = 0;
  uint32_t Type = 0;
  uint64_t Offset = 0;
  uint64_t Size = 0;
  uint32_t Link = 0;
};

// The section header table of one image: its place, entry size and class.
class TSectionTable {
 public:
  TSectionTable(TImageSource& image, bool is64, uint64_t offset, uint64_t entrySize)
      : Image(image), Is64(is64), Offset(offset), EntrySize(entrySize) {}

  // Smallest entry that holds every field read below.
  static uint64_t MinEntrySize(bool is64) { return is64 ? 64 : 40; }

  // How many entries fit between the table's start and the end of the image.
  uint64_t Capacity() const {
    return Offset <= Image.Size() ? (Image.Size() - Offset) / EntrySize : 0;
  }

  // Requires index < Capacity(), which keeps index * EntrySize from overflowing.
  bool Get(uint64_t index, TSection& section) const {
    unsigned char entry[64];
    if (index >= Capacity()) return false;
    if (!Image.Read(Offset + index * EntrySize, MinEntrySize(Is64), entry)) return false;
    section.Name = Le32(entry);
    section.Type = Le32(entry + 4);
    section.Offset = Is64 ? Le64(entry + 24) : Le32(entry + 16);
    section.Size = Is64 ? Le64(entry + 32) : Le32(entry + 20);
    section.Link = Le32(entry + (Is64 ? 40 : 24));
    return true;
  }

 private:
  TImageSource& Image;
  bool Is64;
  uint64_t Offset;
  uint64_t EntrySize;
};

// True when the section's bytes lie wholly inside the image.
bool HasContents(const TImageSource& image, const TSection& section) {
  return section.Type != SectionTypeNoBits && image.Holds(section.Offset, section.Size);
}

std::optional<TFixedFileInfo> Parse(TImageSource& image) {
  unsigned char header[64];
  if (!image.Read(0, 16, header)) return std::nullopt;
  if (std::memcmp(header, "\x7F" "ELF", 4) != 0) return std::nullopt;
  if (header[4] != 1 && header[4] != 2) return std::nullopt;  // ELFCLASS32 / ELFCLASS64
  if (header[5] != 1) return std::nullopt;                    // ELFDATA2LSB only
  const bool is64 = header[4] == 2;
  if (!image.Read(0, is64 ? 64 : 52, header)) return std::nullopt;
  const uint64_t tableOffset = is64 ? Le64(header + 0x28) : Le32(header + 0x20);
  const uint64_t entrySize = Le16(header + (is64 ? 0x3A : 0x2E));
  uint64_t count = Le16(header + (is64 ? 0x3C : 0x30));
  uint64_t namesIndex = Le16(header + (is64 ? 0x3E : 0x32));
  if (tableOffset == 0 || entrySize < TSectionTable::MinEntrySize(is64)) return std::nullopt;

  const TSectionTable table(image, is64, tableOffset, entrySize);
  TSection first;
  if (!table.Get(0, first)) return std::nullopt;
  // Files with very many sections keep the real count and name table index in section 0.
  if (count == 0) count = first.Size;
  if (namesIndex == SectionIndexEscape) namesIndex = first.Link;
  // Every entry must lie inside the image; this also bounds the search by the image's size.
  if (count > table.Capacity() || namesIndex >= count) return std::nullopt;

  TSection names;
  if (!table.Get(namesIndex, names) || !HasContents(image, names)) return std::nullopt;

  // The wanted name with its terminator, compared in one read of the name table.
  constexpr size_t nameLength = sizeof FixedFileInfoSection;
  unsigned char name[nameLength];
  for (uint64_t index = 0; index < count; ++index) {
    TSection section;
    if (!table.Get(index, section)) return std::nullopt;
    if (section.Name >= names.Size || nameLength > names.Size - section.Name) continue;
    if (!image.Read(names.Offset + section.Name, nameLength, name)) return std::nullopt;
    if (std::memcmp(name, FixedFileInfoSection, nameLength) != 0) continue;

    // The first section of that name decides.
    unsigned char record[FixedFileInfoSize];
    if (!HasContents(image, section) || section.Size < FixedFileInfoSize) return std::nullopt;
    if (!image.Read(section.Offset, FixedFileInfoSize, record)) return std::nullopt;
    uint32_t words[FixedFileInfoSize / 4];
    for (size_t i = 0; i < FixedFileInfoSize / 4; ++i) words[i] = Le32(record + 4 * i);
    if (words[0] != FixedFileInfoSignature) return std::nullopt;
    return TFixedFileInfo{words[0], words[1], words[2],  words[3],  words[4],  words[5], words[6],
                          words[7], words[8], words[9], words[10], words[11], words[12]};
  }
  return std::nullopt;
}

}  // namespace

std::optional<TFixedFileInfo> ParseFixedFileInfo(std::string_view elfImage) {
  TMemorySource image(elfImage);
  return Parse(image);
}

std::optional<TFixedFileInfo> ReadElfFixedFileInfo(const std::string& path) {
  TFileSource image(path);
  return Parse(image);
}

}  // namespace trs
