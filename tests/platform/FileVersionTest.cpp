// File version records: read from libraries built with and without one, from the program,
// and parsed from small hand-made ELF images that break one rule at a time.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include "platform/FileVersion.h"
#include "support/TestOs.h"

namespace trs {

// Failures show the record as words, not as 52 raw bytes.
void PrintTo(const TFixedFileInfo& info, std::ostream* out) {
  *out << std::hex << "{signature " << info.Signature << ", file " << info.FileVersionMS << ":"
       << info.FileVersionLS << ", product " << info.ProductVersionMS << ":" << info.ProductVersionLS << "}";
}

namespace {

namespace fs = std::filesystem;

constexpr uint32_t ProjectVersion[] = {TRS_PROJECT_VERSION_PARTS};

TEST(FileVersionTest, ReadsTheRecordOfALibrary) {
  // trs_versioned_fixture: file version 2.5.3.4, product version 1.2.7.9.
  const std::optional<TFixedFileInfo> info = ReadFixedFileInfo(TRS_VERSIONED_LIBRARY);
  ASSERT_TRUE(info.has_value());
  EXPECT_EQ(info->Signature, 0xFEEF04BDu);
  EXPECT_EQ(info->StrucVersion, 0x00010000u);
  EXPECT_EQ(info->FileVersionMS, 0x00020005u);
  EXPECT_EQ(info->FileVersionLS, 0x00030004u);
  EXPECT_EQ(info->ProductVersionMS, 0x00010002u);
  EXPECT_EQ(info->ProductVersionLS, 0x00070009u);
}

TEST(FileVersionTest, TheProgramCarriesTheProjectVersion) {
  const std::optional<TFixedFileInfo> info = ReadFixedFileInfo(TRS_PROGRAM_PATH);
  ASSERT_TRUE(info.has_value());
  const uint32_t most = ProjectVersion[0] << 16 | ProjectVersion[1];
  const uint32_t least = ProjectVersion[2] << 16 | ProjectVersion[3];
  EXPECT_EQ(info->FileVersionMS, most);
  EXPECT_EQ(info->FileVersionLS, least);
  EXPECT_EQ(info->ProductVersionMS, most);
  EXPECT_EQ(info->ProductVersionLS, least);
}

TEST(FileVersionTest, FilesWithoutARecordGiveNothing) {
  const fs::path dir = fs::temp_directory_path() / ("trs-fileversion-" + std::to_string(test::CurrentProcessNumber()));
  fs::create_directories(dir);
  std::ofstream(dir / "notes.txt") << "\x7F" "ELF is how it starts, but this is text\n";

  for (const std::string& path : {std::string(TRS_UNVERSIONED_LIBRARY), (dir / "missing.so").string(),
                                 (dir / "notes.txt").string(), dir.string()}) {
    SCOPED_TRACE(path);
    EXPECT_EQ(ReadFixedFileInfo(path), std::nullopt);
  }
  fs::remove_all(dir);
}

// ---- Hand-made images ----

void PutLe(std::string& out, size_t at, uint64_t value, size_t width) {
  if (out.size() < at + width) out.resize(at + width, '\0');
  for (size_t i = 0; i < width; ++i) out[at + i] = static_cast<char>(value >> (8 * i));
}

std::string RecordBytes(const TFixedFileInfo& info) {
  const uint32_t words[] = {info.Signature,     info.StrucVersion, info.FileVersionMS, info.FileVersionLS,
                            info.ProductVersionMS, info.ProductVersionLS, info.FileFlagsMask, info.FileFlags,
                            info.FileOS,        info.FileType,     info.FileSubtype,   info.FileDateMS,
                            info.FileDateLS};
  std::string bytes;
  for (size_t i = 0; i < std::size(words); ++i) PutLe(bytes, 4 * i, words[i], 4);
  return bytes;
}

const TFixedFileInfo SampleRecord{0xFEEF04BD, 0x00010000, 0x00020005, 0x00030004, 0x00010002, 0x00070009,
                                  0x3F,       0x2,        0x40004,    2,          0,          0x1234,     0x5678};

constexpr uint32_t ProgBits = 1;
constexpr uint32_t StringTable = 3;
constexpr uint32_t NoBits = 8;

struct TTestSection {
  std::string Name;
  std::string Bytes;
  uint32_t Type = ProgBits;
  uint64_t DeclaredSize = UINT64_MAX;  // UINT64_MAX: the size of Bytes
};

// What an image is made of: the null section, the given sections, then the name table.
struct TImageLayout {
  bool Is64 = true;
  std::vector<TTestSection> Sections;
  bool BigEndian = false;
  bool ExtendedNumbering = false;  // count and name table index kept in section 0
  uint64_t NamesIndex = UINT64_MAX;  // UINT64_MAX: the real one
};

// Header, section contents, name table, then the section header table at the end, where
// linkers put it too.
std::string BuildImage(const TImageLayout& layout) {
  const bool is64 = layout.Is64;
  const size_t headerSize = is64 ? 64 : 52;
  const size_t entrySize = is64 ? 64 : 40;
  std::vector<TTestSection> sections = layout.Sections;
  sections.insert(sections.begin(), TTestSection{"", "", 0});
  std::string names(1, '\0');
  for (const TTestSection& section : sections) names += section.Name.empty() ? "" : section.Name + '\0';
  names += std::string(".shstrtab") + '\0';
  sections.push_back({".shstrtab", names, StringTable});

  std::string image(headerSize, '\0');
  image.replace(0, 4, "\x7F" "ELF");
  image[4] = is64 ? 2 : 1;
  image[5] = layout.BigEndian ? 2 : 1;
  image[6] = 1;
  std::vector<size_t> offsets;
  for (const TTestSection& section : sections) {
    offsets.push_back(image.size());
    if (section.Type != NoBits) image += section.Bytes;
  }
  const size_t tableOffset = (image.size() + 7) / 8 * 8;
  image.resize(tableOffset + sections.size() * entrySize, '\0');

  const uint64_t namesIndex = layout.NamesIndex != UINT64_MAX ? layout.NamesIndex : sections.size() - 1;
  PutLe(image, is64 ? 0x28 : 0x20, tableOffset, is64 ? 8 : 4);
  PutLe(image, is64 ? 0x3A : 0x2E, entrySize, 2);
  PutLe(image, is64 ? 0x3C : 0x30, layout.ExtendedNumbering ? 0 : sections.size(), 2);
  PutLe(image, is64 ? 0x3E : 0x32, layout.ExtendedNumbering ? 0xFFFF : namesIndex, 2);

  size_t nameOffset = 1;
  for (size_t i = 0; i < sections.size(); ++i) {
    const TTestSection& section = sections[i];
    const size_t at = tableOffset + i * entrySize;
    uint64_t size = section.DeclaredSize != UINT64_MAX ? section.DeclaredSize : section.Bytes.size();
    uint64_t link = 0;
    if (i == 0 && layout.ExtendedNumbering) {
      size = sections.size();
      link = namesIndex;
    }
    PutLe(image, at, section.Name.empty() ? 0 : nameOffset, 4);
    PutLe(image, at + 4, section.Type, 4);
    PutLe(image, at + (is64 ? 24 : 16), offsets[i], is64 ? 8 : 4);
    PutLe(image, at + (is64 ? 32 : 20), size, is64 ? 8 : 4);
    PutLe(image, at + (is64 ? 40 : 24), link, 4);
    if (!section.Name.empty()) nameOffset += section.Name.size() + 1;
  }
  return image;
}

TTestSection RecordSection(std::string bytes = RecordBytes(SampleRecord)) {
  return {".vs_fixedfileinfo", std::move(bytes)};
}

struct TImageCase {
  const char* Name;
  TImageLayout Layout;
  bool Found;
};

std::string BadSignature() {
  std::string bytes = RecordBytes(SampleRecord);
  bytes[0] = '\0';
  return bytes;
}

const TImageCase ImageCases[] = {
    {"elf64", {.Sections = {RecordSection()}}, true},
    {"elf32", {.Is64 = false, .Sections = {RecordSection()}}, true},
    {"after sections with near names",
     {.Sections = {{".text", "code"}, {".vs_fixedfileinfox", BadSignature()}, {".vs_fixed", BadSignature()},
                   RecordSection()}},
     true},
    {"longer section, record first", {.Sections = {RecordSection(RecordBytes(SampleRecord) + "padding")}}, true},
    {"elf64 extended numbering", {.Sections = {RecordSection()}, .ExtendedNumbering = true}, true},
    {"elf32 extended numbering", {.Is64 = false, .Sections = {RecordSection()}, .ExtendedNumbering = true}, true},
    {"no such section", {.Sections = {{".text", RecordBytes(SampleRecord)}}}, false},
    {"section of 51 bytes", {.Sections = {RecordSection(RecordBytes(SampleRecord).substr(0, 51))}}, false},
    {"wrong signature", {.Sections = {RecordSection(BadSignature())}}, false},
    {"section without file contents", {.Sections = {{".vs_fixedfileinfo", "", NoBits, 52}}}, false},
    {"section runs past the end",
     {.Sections = {{".vs_fixedfileinfo", RecordBytes(SampleRecord), ProgBits, 1 << 20}}},
     false},
    {"big-endian", {.Sections = {RecordSection()}, .BigEndian = true}, false},
    {"name table index out of range", {.Sections = {RecordSection()}, .NamesIndex = 3}, false},
    {"name table is the record section", {.Sections = {RecordSection()}, .NamesIndex = 1}, false},
};

TEST(FileVersionTest, ParsesHandMadeImages) {
  for (const TImageCase& c : ImageCases) {
    SCOPED_TRACE(c.Name);
    const std::optional<TFixedFileInfo> info = ParseFixedFileInfo(BuildImage(c.Layout));
    if (c.Found) {
      EXPECT_EQ(info, SampleRecord);
    } else {
      EXPECT_EQ(info, std::nullopt);
    }
  }
}

TEST(FileVersionTest, EveryPrefixOfAnImageGivesNothing) {
  for (const bool is64 : {true, false}) {
    const std::string image = BuildImage({.Is64 = is64, .Sections = {{".text", "code"}, RecordSection()}});
    ASSERT_EQ(ParseFixedFileInfo(image), SampleRecord);
    for (size_t length = 0; length < image.size(); ++length)
      EXPECT_EQ(ParseFixedFileInfo(std::string_view(image).substr(0, length)), std::nullopt) << length;
  }
}

}  // namespace
}  // namespace trs
