// Windows: the file system already ignores letter case, so a name resolves to itself.
#include "platform/FileNames.h"
#include "platform/Win32_win.h"

namespace trs {

bool FileExists(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesW(win32::Widen(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::string ResolveFileNameIgnoringCase(const std::string& path) { return path; }

}  // namespace trs
