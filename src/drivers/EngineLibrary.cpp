// Loading engine libraries and naming what they lack.
#include "drivers/EngineLibrary.h"

#include "desktop/LogLine.h"
#include "desktop/LibraryVersion.h"
#include "platform/FileNames.h"

namespace trs {

TEngineLibrary TEngineLibrary::Load(const std::string& directory, const std::string& fileName) {
  const std::string path = ResolveFileNameIgnoringCase(directory + fileName);
  try {
    return TEngineLibrary(TDynamicLibrary::Load(path), path);
  } catch (const Exception& error) {
    throw EEngineError(error.GetMessage());
  }
}

std::string TEngineLibrary::VersionText() const { return LibraryVersionText(FilePath); }

void TEngineLibrary::ThrowMissingExport(const char* name) const {
  throw EEngineError(Format("The library \"%s\" has no export \"%s\"", FilePath.c_str(), name));
}

void LogEngineLoadFailure(const std::string& fileName, const std::string& reason) {
  LogLine(fileName + " is not loaded: " + reason);
}

}  // namespace trs
