// Whole files: read in one go, replaced in one step so they are never left half written, and
// appended to one whole entry at a time.
#pragma once

#include <string>
#include <string_view>

namespace trs {

// The file's bytes; EFOpenError "Cannot open file \"<path>\". <the system's reason>" when it
// cannot be opened or read.
std::string ReadWholeFile(const std::string& path);

// Replaces (or creates) the file `path` with `bytes` in one step: a new file beside it is
// written, flushed to the disk and renamed over it, taking the old file's permission bits
// (and owner, where allowed). On failure the old file is untouched, no new file is left,
// and EFCreateError says "Cannot create file \"<path>\". <the system's reason>".
void ReplaceFile(const std::string& path, std::string_view bytes);

// Appends `bytes` to the file (created when missing) in one write, so that entries written
// by several threads or processes do not interleave. False when it cannot be written.
bool AppendToFile(const std::string& path, std::string_view bytes);

}  // namespace trs
