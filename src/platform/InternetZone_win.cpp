// Windows: the Internet zone's settings live under the current user, one 32-bit value per
// URL action; 0 allows the action.
#include "platform/Exceptions.h"
#include "platform/InternetZone.h"
#include "platform/Win32_win.h"

namespace trs {
namespace {

constexpr wchar_t InternetZoneKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Zones\\3";
constexpr char CrossDomainDataAction[] = "1406";

// An open key of the current user's registry, closed when it goes.
class TUserKey {
 public:
  explicit TUserKey(const wchar_t* path) {
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &Key,
                          nullptr) != ERROR_SUCCESS)
      Key = nullptr;
  }
  ~TUserKey() {
    if (Key != nullptr) ::RegCloseKey(Key);
  }
  TUserKey(const TUserKey&) = delete;
  TUserKey& operator=(const TUserKey&) = delete;

  bool SetDword(const char* name, DWORD value) const {
    return Key != nullptr && ::RegSetValueExW(Key, win32::Widen(name).c_str(), 0, REG_DWORD,
                                              reinterpret_cast<const BYTE*>(&value), sizeof value) == ERROR_SUCCESS;
  }

 private:
  HKEY Key = nullptr;
};

}  // namespace

void AllowCrossDomainDataAccess() {
  const TUserKey zone(InternetZoneKey);
  if (!zone.SetDword(CrossDomainDataAction, 0))
    throw Exception(Format("Failed to set data for '%s'", CrossDomainDataAction));
}

}  // namespace trs
