// Windows: the product registry is the key Software\Tally\Quill\Report under the local
// machine, then its Wow6432Node twin where a 32-bit installer wrote it; one text value per
// product tag. The keys are opened for reading only: the program never writes them, and
// asking for write access would fail for every user without administrator rights.
//
// A 64-bit program sees both views of the registry. The engines' installers are 32-bit and
// write the twin, so a tag the first key lacks is looked for in the twin as well: a first
// key that exists for another reason must not hide the product.
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
  // Check Opened(): a key that is missing or may not be read stays closed.
  explicit TRegistryKey(const wchar_t* path) {
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &Key) != ERROR_SUCCESS) Key = nullptr;
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

// %NAME% references replaced by the variables' values; an unknown one stays as written.
std::wstring ExpandEnvironment(const std::wstring& text) {
  std::wstring expanded(text.size() + 1, L'\0');
  for (;;) {
    const DWORD needed = ::ExpandEnvironmentStringsW(text.c_str(), expanded.data(), static_cast<DWORD>(expanded.size()));
    if (needed == 0) return text;
    if (needed <= expanded.size()) {
      expanded.resize(needed - 1);  // the count includes the terminating zero
      return expanded;
    }
    expanded.assign(needed, L'\0');
  }
}

// The text of a value read as bytes (UTF-16, possibly without its terminating zero), with
// the references of an expandable value expanded.
std::string TextOfValue(std::wstring bytes, DWORD type) {
  while (!bytes.empty() && bytes.back() == L'\0') bytes.pop_back();
  return win32::Narrow(type == REG_EXPAND_SZ ? ExpandEnvironment(bytes) : bytes);
}

// A value of the key as type and raw contents; nothing when the key has no such value.
struct TValue {
  DWORD Type = 0;
  std::wstring Bytes;
};

std::optional<TValue> QueryValue(HKEY key, const std::wstring& name) {
  TValue value;
  DWORD size = 0;
  LONG status = ::RegQueryValueExW(key, name.c_str(), nullptr, &value.Type, nullptr, &size);
  // The value may grow between asking its size and reading it: ask again.
  while (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
    value.Bytes.assign((size + 1) / sizeof(wchar_t), L'\0');
    size = static_cast<DWORD>(value.Bytes.size() * sizeof(wchar_t));
    status = ::RegQueryValueExW(key, name.c_str(), nullptr, &value.Type, reinterpret_cast<BYTE*>(value.Bytes.data()),
                                &size);
    if (status == ERROR_SUCCESS) {
      value.Bytes.resize(size / sizeof(wchar_t));
      return value;
    }
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> LookupProductDirectory(const std::string& tag) {
  const std::wstring name = win32::Widen(tag);
  for (const wchar_t* path : RegistryKeys) {
    TRegistryKey key(path);
    if (!key.Opened()) continue;
    const std::optional<TValue> value = QueryValue(key.Get(), name);
    if (!value) continue;
    if (!IsText(value->Type)) throw Exception(Format("Invalid data type for '%s'", tag.c_str()));
    return TextOfValue(value->Bytes, value->Type);
  }
  return std::nullopt;
}

std::vector<std::string> ListProductDirectories() {
  std::vector<std::string> directories;
  for (const wchar_t* path : RegistryKeys) {
    TRegistryKey key(path);
    if (!key.Opened()) continue;
    for (DWORD index = 0;; ++index) {
      wchar_t name[16384];  // the longest value name the registry allows
      DWORD nameLength = 16384;
      const LONG status = ::RegEnumValueW(key.Get(), index, name, &nameLength, nullptr, nullptr, nullptr, nullptr);
      if (status == ERROR_NO_MORE_ITEMS) break;
      if (status != ERROR_SUCCESS) continue;
      const std::optional<TValue> value = QueryValue(key.Get(), std::wstring(name, nameLength));
      if (!value || !IsText(value->Type)) continue;
      std::string directory = TextOfValue(value->Bytes, value->Type);
      if (!directory.empty()) directories.push_back(std::move(directory));
    }
  }
  return directories;
}

}  // namespace trs
