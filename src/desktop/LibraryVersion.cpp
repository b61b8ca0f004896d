// The version text of a library file, from its version record.
#include "desktop/LibraryVersion.h"

#include <cstdint>
#include <optional>

#include "platform/Exceptions.h"
#include "platform/FileVersion.h"

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

}  // namespace trs
