// Packet files: read whole, and replaced atomically so a failed save never leaves a torn file.
#pragma once

#include <string>
#include <string_view>

namespace trs {

// The file's bytes; EFOpenError 'Cannot open file "<path>". <reason>' when it cannot be read.
std::string ReadPacketFile(const std::string& path);

// Writes the bytes to a new file beside `path`, flushes it and renames it over `path`. On any
// failure the new file is removed, `path` is left as it was, and EFCreateError
// 'Cannot create file "<path>". <reason>' names the target, not the temporary file.
void ReplacePacketFile(const std::string& path, std::string_view bytes);

}  // namespace trs
