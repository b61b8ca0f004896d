// File names as the engines' own platform treats them: without regard to letter case.
#pragma once

#include <string>

namespace trs {

// `path` itself when that file exists; otherwise the first entry of its directory whose name
// equals the last part of `path` without regard to ASCII case ("qprint.dll" finds
// "QPrint.Dll"); otherwise `path` unchanged, so that the caller's own error names it.
std::string ResolveFileNameIgnoringCase(const std::string& path);

// Whether `path` names an existing regular file (following links).
bool FileExists(const std::string& path);

}  // namespace trs
