// Windows: the product registry is the key Software\Tally\Quill\Report under the local
// machine, or its Wow6432Node twin where a 32-bit installer wrote it; one text value per
// product tag. The keys are opened for reading only: the program never writes them, and
// asking for write access would fail for every user without administrator rights.
#include "platform/ProductRegistry.h"
#include "platform/Exceptions.h"
#include "platform/Win32_win.h"

namespace trs {

namespace {

constexpr const wchar_t* RegistryKeys[] = {L"Software\\Tally\\Quill\\Report",
                                           L"SOFTWARE\\Wow6432Node\\Tally\\Quill\\Report"};

// An open registry key, closed when it goes.
class TRegistryKey {
 public:
  // The first of the product keys that opens; check Opened().
  TRegistryKey() {
    for (const wchar_t* path : RegistryKeys)
      if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &Key) == ERROR_SUCCESS) return;
    Key = nullptr;
  }
  ~TRegistryKey() {
    if (Key != nullptr) ::RegCloseKey(Key);
  }
  TRegistryKey(const TRegistryKey&) = delete;
  TRegistryKey& operator=(const TRegistryKey&) = delete;

  bool Opened() const { return Key != nullptr; }
  HKEY Get() const { return Key; }

 private:
  HKEY Key = nullptr;
};

bool IsText(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ; }

// The text of a value read as bytes (UTF-16, possibly without its terminating zero).
std::string TextOfValue(const std::wstring& bytes) {
  std::wstring_view text(bytes);
  while (!text.empty() && text.back() == L'\0') text.remove_suffix(1);
  return win32::Narrow(text);
}

}  // namespace

std::optional<std::string> LookupProductDirectory(const std::string& tag) {
  TRegistryKey key;
  if (!key.Opened()) return std::nullopt;
  const std::wstring name = win32::Widen(tag);
  DWORD type = 0;
  DWORD size = 0;
  if (::RegQueryValueExW(key.Get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
    return std::nullopt;
  if (!IsText(type)) throw Exception(Format("Invalid data type for '%s'", tag.c_str()));
  std::wstring value((size + 1) / sizeof(wchar_t), L'\0');
  if (::RegQueryValueExW(key.Get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &size) !=
      ERROR_SUCCESS)
    return std::nullopt;
  value.resize(size / sizeof(wchar_t));
  return TextOfValue(value);
}

std::vector<std::string> ListProductDirectories() {
  std::vector<std::string> directories;
  TRegistryKey key;
  if (!key.Opened()) return directories;
  for (DWORD index = 0;; ++index) {
    wchar_t name[16384];
    DWORD nameLength = 16384;
    DWORD type = 0;
    DWORD size = 0;
    const LONG status = ::RegEnumValueW(key.Get(), index, name, &nameLength, nullptr, &type, nullptr, &size);
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status != ERROR_SUCCESS || !IsText(type)) continue;
    std::wstring value((size + 1) / sizeof(wchar_t), L'\0');
    nameLength = 16384;
    if (::RegEnumValueW(key.Get(), index, name, &nameLength, nullptr, &type, reinterpret_cast<BYTE*>(value.data()),
                        &size) != ERROR_SUCCESS)
      continue;
    value.resize(size / sizeof(wchar_t));
    std::string directory = TextOfValue(value);
    if (!directory.empty()) directories.push_back(std::move(directory));
  }
  return directories;
}

}  // namespace trs
