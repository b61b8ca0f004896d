// Windows: the record is the fixed part of the file's version resource, as the system's
// version API hands it out.
#include <cstring>
#include <vector>

#include "platform/FileVersion.h"
#include "platform/Win32_win.h"

namespace trs {

std::optional<TFixedFileInfo> ReadFixedFileInfo(const std::string& path) {
  const std::wstring name = win32::Widen(path);
  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeW(name.c_str(), &ignored);
  if (size == 0) return std::nullopt;
  std::vector<unsigned char> block(size);
  if (!::GetFileVersionInfoW(name.c_str(), 0, size, block.data())) return std::nullopt;
  void* fixed = nullptr;
  UINT length = 0;
  if (!::VerQueryValueW(block.data(), L"\\", &fixed, &length) || length < FixedFileInfoSize) return std::nullopt;
  TFixedFileInfo info;
  static_assert(sizeof info == FixedFileInfoSize);
  std::memcpy(&info, fixed, FixedFileInfoSize);
  if (info.Signature != FixedFileInfoSignature) return std::nullopt;
  return info;
}

}  // namespace trs
