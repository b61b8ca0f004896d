// The running program's version text, from the version record of its own file.
#include "desktop/ProgramVersion.h"

#include <cstdint>
#include <optional>

#include "platform/Exceptions.h"
#include "platform/FileVersion.h"
#include "platform/ProgramFile.h"

namespace trs {
namespace {

int High(uint32_t word) { return static_cast<int>(word >> 16); }
int Low(uint32_t word) { return static_cast<int>(word & 0xFFFF); }

}  // namespace

std::string ProgramVersionText() {
  const std::string path = ProgramFileName();
  if (path.empty()) return std::string();
  const std::optional<TFixedFileInfo> info = ReadFixedFileInfo(path);
  if (!info) return std::string();
  return Format("%d.%d.%d.%d", High(info->FileVersionMS), Low(info->FileVersionMS),
                High(info->FileVersionLS), Low(info->FileVersionLS));
}

}  // namespace trs
