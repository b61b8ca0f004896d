// Whole files: read in one go, replaced in one step so they are never left half written, and
// appended to one whole entry at a time.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace trs {

// The file's bytes; EFOpenError "Cannot open file \"<path>\". <the system's reason>" when it
// cannot be opened or read.
std::string ReadWholeFile(const std::string& path);

// Replaces (or creates) the file `path` with `bytes` in one step: a new file beside it is
// written, flushed to the disk and renamed over it, taking the old file's permission bits
// (and owner, where allowed). On failure the old file is untouched, no new file is left,
// and EFCreateError says "Cannot create file \"<path>\". <the system's reason>", naming
// the file asked for, never the new file.
//
// The new file's name has a fixed, short length (ReplacementNameLength bytes, a hidden name
// marked with the writing process), whatever the target's, so any name the file system
// takes can be replaced.
void ReplaceFile(const std::string& path, std::string_view bytes);

inline constexpr size_t ReplacementNameLength = 27;

// Removes, from `directory`, the new files of replacements whose process ended before
// renaming them (a crash or a kill mid-save); those of running processes stay, and so do
// files that only look similar. Leftovers of the longer names earlier versions used carry
// no process, so they go once they are ten minutes old. Returns how many were removed; a
// directory that cannot be read has none.
size_t RemoveStaleReplacements(const std::string& directory);

// For tests: from now on the new file of a replacement takes at most `bytes` (SIZE_MAX lifts
// the limit), and a longer save fails as on a full disk: EFBIG on Linux, as under a file size
// limit; ERROR_DISK_FULL on Windows, which has no per-process limit to provoke it with.
void LimitReplacementSizeForTests(size_t bytes);

// Appends `bytes` to the file (created when missing) in one write, so that entries written
// by several threads or processes do not interleave. False when it cannot be written.
bool AppendToFile(const std::string& path, std::string_view bytes);

}  // namespace trs
