// Embeds a file version record in the program or library being built: the ELF form.
//
// One source file of the program or library writes, at namespace scope,
//   TRS_VERSION_RECORD(2, 5, 3, 4, 1, 2, 7, 9);
// (file version 2.5.3.4, product version 1.2.7.9). The record lands in the section
// ".vs_fixedfileinfo" where ReadFixedFileInfo finds it on Linux. One record per file; a
// second in the same file does not compile.
//
// A Windows file carries the same record as its version resource instead, which the build
// writes from the same numbers (trs_version_resource in cmake/VersionResource.cmake; the
// engines' trs_add_engine does it from their VERSION) and the system's version API reads.
#pragma once

#include <bit>
#include <cstdint>
#include <type_traits>

#include "platform/FileVersion.h"

// The record is the struct's bytes as the compiler lays them out, so they are the stored
// little-endian words only on a little-endian target.
static_assert(std::endian::native == std::endian::little);
static_assert(sizeof(trs::TFixedFileInfo) == trs::FixedFileInfoSize);
static_assert(std::is_standard_layout_v<trs::TFixedFileInfo>);

namespace trs {

// One of the four parts of a version; each is 16 bits wide. A larger one stops the build
// (a throw cannot be evaluated at compile time).
consteval uint32_t VersionPart(uint64_t part) {
  if (part > 0xFFFF) throw "a version part must fit in 16 bits";
  return static_cast<uint32_t>(part);
}

// The record of a file with the given versions; no flags, unknown OS and file type, no date.
consteval TFixedFileInfo MakeFixedFileInfo(uint64_t fileMajor, uint64_t fileMinor, uint64_t fileRelease,
                                           uint64_t fileBuild, uint64_t productMajor, uint64_t productMinor,
                                           uint64_t productRelease, uint64_t productBuild) {
  TFixedFileInfo info;
  info.Signature = FixedFileInfoSignature;
  info.StrucVersion = FixedFileInfoStrucVersion;
  info.FileVersionMS = VersionPart(fileMajor) << 16 | VersionPart(fileMinor);
  info.FileVersionLS = VersionPart(fileRelease) << 16 | VersionPart(fileBuild);
  info.ProductVersionMS = VersionPart(productMajor) << 16 | VersionPart(productMinor);
  info.ProductVersionLS = VersionPart(productRelease) << 16 | VersionPart(productBuild);
  info.FileFlagsMask = 0x3F;  // the flags the record may carry (debug, pre-release, ...)
  return info;
}

}  // namespace trs

// A file-local object: no symbol of it leaves the file, nothing can clash across libraries.
// `used` keeps the otherwise unreferenced object through optimisation; as a plain object
// (not inline, not a template) it is outside any COMDAT group, so the section is an
// ordinary read-only allocated one that the linker keeps. A static library's members are
// linked only when referenced, so the record belongs in an object file or an OBJECT library.
#define TRS_VERSION_RECORD(fileMajor, fileMinor, fileRelease, fileBuild, productMajor, productMinor,  \
                           productRelease, productBuild)                                               \
  [[gnu::section(".vs_fixedfileinfo"), gnu::used]] static constexpr ::trs::TFixedFileInfo               \
      TrsVersionRecord = ::trs::MakeFixedFileInfo(fileMajor, fileMinor, fileRelease, fileBuild,           \
                                                  productMajor, productMinor, productRelease, productBuild)
