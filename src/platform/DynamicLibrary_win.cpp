// Windows: LoadLibraryExW by absolute path, searching the library's own directory for the
// DLLs it depends on (as an engine installed with its helpers expects), never the current
// directory.
#include <utility>

#include "platform/DynamicLibrary.h"
#include "platform/Exceptions.h"
#include "platform/Win32_win.h"

namespace trs {

TDynamicLibrary TDynamicLibrary::Load(const std::string& path) {
  HMODULE handle = ::LoadLibraryExW(win32::Widen(path).c_str(), nullptr,
                                    LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
  if (handle == nullptr) throw Exception(path + ": " + win32::SystemErrorText(::GetLastError()));
  return TDynamicLibrary(handle);
}

TDynamicLibrary::~TDynamicLibrary() {
  if (Handle != nullptr) ::FreeLibrary(static_cast<HMODULE>(Handle));
}

TDynamicLibrary::TDynamicLibrary(TDynamicLibrary&& other) noexcept : Handle(std::exchange(other.Handle, nullptr)) {}

TDynamicLibrary& TDynamicLibrary::operator=(TDynamicLibrary&& other) noexcept {
  if (this != &other) {
    if (Handle != nullptr) ::FreeLibrary(static_cast<HMODULE>(Handle));
    Handle = std::exchange(other.Handle, nullptr);
  }
  return *this;
}

void* TDynamicLibrary::Symbol(const char* name) const {
  if (Handle == nullptr) return nullptr;
  return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(Handle), name));
}

}  // namespace trs
