// Windows: the text conversions and error texts shared by the Windows units.
#include "platform/Win32_win.h"

#include "platform/Text.h"

namespace trs::win32 {

// wchar_t is the UTF-16 unit on Windows, so the program's wide text is the system's as it is.
static_assert(sizeof(wchar_t) == sizeof(char16_t));

std::wstring Widen(std::string_view narrow) {
  const WideString wide = NarrowToWide(narrow);
  return std::wstring(reinterpret_cast<const wchar_t*>(wide.data()), wide.size());
}

std::string Narrow(std::wstring_view utf16) {
  return WideToNarrow(std::u16string_view(reinterpret_cast<const char16_t*>(utf16.data()), utf16.size()));
}

std::wstring WidenUtf8(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int length = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), length);
  return wide;
}

std::string NarrowUtf8(std::wstring_view utf16) {
  if (utf16.empty()) return {};
  const int length = ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), static_cast<int>(utf16.size()), nullptr, 0,
                                           nullptr, nullptr);
  std::string narrow(static_cast<size_t>(length), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), static_cast<int>(utf16.size()), narrow.data(), length, nullptr,
                        nullptr);
  return narrow;
}

std::string SystemErrorText(DWORD code) {
  wchar_t* buffer = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
      reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  if (length == 0 || buffer == nullptr) return "System error " + std::to_string(code);
  std::wstring_view text(buffer, length);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) text.remove_suffix(1);
  std::string result = Narrow(text);
  ::LocalFree(buffer);
  return result;
}

}  // namespace trs::win32
