// POSIX: dlopen by absolute path with RTLD_NOW | RTLD_LOCAL, so a missing symbol is found
// at load time and one library's names never satisfy another's.
#include "platform/DynamicLibrary.h"

#include <dlfcn.h>

#include <utility>

#include "platform/Exceptions.h"

namespace trs {

TDynamicLibrary TDynamicLibrary::Load(const std::string& path) {
  void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* reason = ::dlerror();
    throw Exception(reason != nullptr ? reason : ("Cannot load " + path).c_str());
  }
  return TDynamicLibrary(handle);
}

TDynamicLibrary::~TDynamicLibrary() {
  if (Handle != nullptr) ::dlclose(Handle);
}

TDynamicLibrary::TDynamicLibrary(TDynamicLibrary&& other) noexcept
    : Handle(std::exchange(other.Handle, nullptr)) {}

TDynamicLibrary& TDynamicLibrary::operator=(TDynamicLibrary&& other) noexcept {
  if (this != &other) {
    if (Handle != nullptr) ::dlclose(Handle);
    Handle = std::exchange(other.Handle, nullptr);
  }
  return *this;
}

void* TDynamicLibrary::Symbol(const char* name) const {
  return Handle != nullptr ? ::dlsym(Handle, name) : nullptr;
}

}  // namespace trs
