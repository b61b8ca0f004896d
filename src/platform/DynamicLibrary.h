// Libraries loaded at run time (the engines, the desktop module): a move-only handle that
// unloads its library when it goes.
#pragma once

#include <string>

namespace trs {

class TDynamicLibrary {
 public:
  TDynamicLibrary() = default;
  // Loads the library at the absolute `path`, resolving all its symbols now; an error
  // carries the system's own text (trs::Exception).
  static TDynamicLibrary Load(const std::string& path);
  ~TDynamicLibrary();
  TDynamicLibrary(TDynamicLibrary&& other) noexcept;
  TDynamicLibrary& operator=(TDynamicLibrary&& other) noexcept;
  TDynamicLibrary(const TDynamicLibrary&) = delete;
  TDynamicLibrary& operator=(const TDynamicLibrary&) = delete;

  bool Loaded() const { return Handle != nullptr; }
  // Leaves the library loaded for the rest of the process (for a library whose static
  // objects must outlive this handle, such as a toolkit's); the handle becomes empty.
  void KeepLoaded() { Handle = nullptr; }
  // The address of an exported name, or nullptr when the library has none.
  void* Symbol(const char* name) const;

  // The exported function `name` as a pointer of type `Signature*`, or nullptr.
  template <typename Signature>
  Signature* Entry(const char* name) const {
    return reinterpret_cast<Signature*>(Symbol(name));
  }

 private:
  explicit TDynamicLibrary(void* handle) : Handle(handle) {}
  void* Handle = nullptr;
};

}  // namespace trs
