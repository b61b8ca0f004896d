// Windows: the program's own file comes from GetModuleFileNameW of the executable.
#include "platform/ProgramFile.h"
#include "platform/Win32_win.h"

namespace trs {

namespace {

std::string ReadProgramFileName() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    // A full buffer means the name may have been cut: try again with more room (long paths).
    if (length < path.size()) {
      path.resize(length);
      return win32::Narrow(path);
    }
    path.resize(path.size() * 2);
  }
}

}  // namespace

// Read once: the running file does not change, and engine lookups ask for it at every poll.
std::string ProgramFileName() {
  static const std::string path = ReadProgramFileName();
  return path;
}

std::string ProgramDirectory() {
  static const std::string directory = [] {
    std::string path = ProgramFileName();
    path.resize(path.find_last_of("\\/") + 1);  // npos + 1 == 0: an unknown file gives ""
    return path;
  }();
  return directory;
}

const char* PathDelimiter() { return "\\"; }

}  // namespace trs
