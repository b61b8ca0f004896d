// The version texts of a library file and of the program itself, from their version records.
#include <cstdint>

#include "desktop/LibraryVersion.h"
#include "desktop/ProgramVersion.h"
#include "platform/Exceptions.h"
#include "platform/FileVersion.h"
#include "platform/ProgramFile.h"

namespace trs {
namespace {

// A read that finds no record gives all bits set, so each half shows as 65535.
constexpr uint32_t NoVersion = 0xFFFFFFFF;

int High(uint32_t word) { return static_cast<int>(word >> 16); }
int Low(uint32_t word) { return static_cast<int>(word & 0xFFFF); }

}  // namespace

std::string LibraryVersionText(const std::string& path) {
  // Two separate reads, as the text has always been made: major and minor from the file
  // version, then release and build from the product version (not the file version).
  const std::optional<TFixedFileInfo> first = ReadFixedFileInfo(path);
  const uint32_t fileMost = first ? first->FileVersionMS : NoVersion;
  const std::optional<TFixedFileInfo> second = ReadFixedFileInfo(path);
  const uint32_t productLeast = second ? second->ProductVersionLS : NoVersion;
  return Format("%d.%d.%d.%d", High(fileMost), Low(fileMost), High(productLeast), Low(productLeast));
}

std::string ProgramVersionText() {
  const std::string path = ProgramFileName();
  if (path.empty()) return std::string();
  const std::optional<TFixedFileInfo> info = ReadFixedFileInfo(path);
  if (!info) return std::string();
  return Format("%d.%d.%d.%d", High(info->FileVersionMS), Low(info->FileVersionMS),
                High(info->FileVersionLS), Low(info->FileVersionLS));
}

}  // namespace trs
