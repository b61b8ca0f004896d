// Windows: the program's own file and a library's come from GetModuleFileNameW.
#include "platform/ProgramFile.h"
#include "platform/Win32_win.h"

namespace trs {
namespace {

// The file of a loaded module (nullptr: the executable); "" when unknown.
std::string ModuleFileName(HMODULE module) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = ::GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    // A full buffer means the name may have been cut: try again with more room (long paths).
    if (length < path.size()) {
      path.resize(length);
      return win32::Narrow(path);
    }
    path.resize(path.size() * 2);
  }
}

// Up to and including the last separator; npos + 1 == 0: an unknown file gives "".
std::string DirectoryPart(std::string path) {
  path.resize(path.find_last_of("\\/") + 1);
  return path;
}

}  // namespace

std::string ProgramFileName() { return ModuleFileName(nullptr); }

std::string ProgramDirectory() { return DirectoryPart(ProgramFileName()); }

std::string ModuleDirectoryOf(const void* address) {
  HMODULE module = nullptr;
  // The address identifies the module; its reference count is left as it is.
  if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<LPCWSTR>(address), &module))
    return {};
  return DirectoryPart(ModuleFileName(module));
}

const char* PathDelimiter() { return "\\"; }

}  // namespace trs
