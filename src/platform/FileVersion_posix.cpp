// Linux: programs and libraries carry their version record in an ELF section.
#include "platform/FileVersion.h"

namespace trs {

std::optional<TFixedFileInfo> ReadFixedFileInfo(const std::string& path) { return ReadElfFixedFileInfo(path); }

}  // namespace trs
