// An engine library loaded from the product directory: its file, its version text and its
// exports, each of which the library may lack.
#pragma once

#include <string>

#include "platform/DynamicLibrary.h"
#include "platform/Exceptions.h"

namespace trs {

// An engine that cannot be loaded, or lacks an export that a command needs.
class EEngineError : public Exception { using Exception::Exception; };

class TEngineLibrary {
 public:
  // Loads `directory` + `fileName`, falling back to a file of that name in another letter
  // case. EEngineError with the system's reason when it cannot be loaded.
  static TEngineLibrary Load(const std::string& directory, const std::string& fileName);

  TEngineLibrary(TEngineLibrary&&) = default;
  TEngineLibrary& operator=(TEngineLibrary&&) = default;

  // The file that was loaded.
  const std::string& Path() const { return FilePath; }
  // The version text of the loaded file ("65535.65535.65535.65535" without a record). It is
  // read from the file each time, as the version decisions have always been made.
  std::string VersionText() const;

  // The export `name` as a `Signature*`, or nullptr when the library lacks it.
  template <typename Signature>
  Signature* Optional(const char* name) const {
    return Library.Entry<Signature>(name);
  }

  // `entry` itself; when it is absent, EEngineError naming the library and the export. A
  // command without a fallback passes its entry through here before calling it.
  template <typename Signature>
  Signature* Need(Signature* entry, const char* name) const {
    if (entry == nullptr) ThrowMissingExport(name);
    return entry;
  }

 private:
  TEngineLibrary(TDynamicLibrary library, std::string path)
      : Library(std::move(library)), FilePath(std::move(path)) {}
  [[noreturn]] void ThrowMissingExport(const char* name) const;

  TDynamicLibrary Library;
  std::string FilePath;
};

// One line in the program's log: `fileName` could not be loaded, and why.
void LogEngineLoadFailure(const std::string& fileName, const std::string& reason);

}  // namespace trs
