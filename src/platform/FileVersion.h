// File version records: the fixed version record that a program or library carries, and
// reading it from a file.
//
// The record is the 52-byte fixed file information of a version resource: thirteen
// little-endian 32-bit words, the first being the signature 0xFEEF04BD. On Linux it lives in
// an ELF section named ".vs_fixedfileinfo" of the library or program (VersionRecord.h embeds
// one); a file without that section has no version information. On Windows it is the fixed
// part of the file's version resource (cmake/VersionResource.cmake writes one).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace trs {

// The record as stored, word for word. A version is two words: the most significant holds
// major (high 16 bits) and minor (low 16 bits), the least significant release and build.
struct TFixedFileInfo {
  uint32_t Signature = 0;
  uint32_t StrucVersion = 0;
  uint32_t FileVersionMS = 0;
  uint32_t FileVersionLS = 0;
  uint32_t ProductVersionMS = 0;
  uint32_t ProductVersionLS = 0;
  uint32_t FileFlagsMask = 0;
  uint32_t FileFlags = 0;
  uint32_t FileOS = 0;
  uint32_t FileType = 0;
  uint32_t FileSubtype = 0;
  uint32_t FileDateMS = 0;
  uint32_t FileDateLS = 0;

  bool operator==(const TFixedFileInfo&) const = default;
};

constexpr uint32_t FixedFileInfoSignature = 0xFEEF04BD;
constexpr uint32_t FixedFileInfoStrucVersion = 0x00010000;
constexpr size_t FixedFileInfoSize = 52;
inline constexpr char FixedFileInfoSection[] = ".vs_fixedfileinfo";

// The record of an in-memory image (a little-endian ELF32 or ELF64 file): the first 52
// bytes of the first section of that name, when it holds at least that many and starts
// with the signature. Anything malformed or missing gives nothing; the image is untrusted.
std::optional<TFixedFileInfo> ParseFixedFileInfo(std::string_view elfImage);

// The record of an ELF file at `path` (narrow text), read as ParseFixedFileInfo reads an
// image. A missing, unreadable or non-ELF file, or one without the record, gives nothing.
std::optional<TFixedFileInfo> ReadElfFixedFileInfo(const std::string& path);

// The record of the program or library at `path` in this platform's form: the ELF record
// on Linux, the version resource on Windows. A missing or unreadable file, or one without
// a record, gives nothing.
std::optional<TFixedFileInfo> ReadFixedFileInfo(const std::string& path);

}  // namespace trs
