// The Internet zone's cross-domain data setting, read back from the current user's registry.
#include <gtest/gtest.h>

#include "platform/InternetZone.h"
#include "platform/Win32_win.h"

namespace trs {
namespace {

constexpr wchar_t ZoneKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Zones\\3";

// The zone's value "1406" as the browser reads it; nothing when it is missing or no DWORD.
std::optional<DWORD> CrossDomainSetting() {
  DWORD value = 0;
  DWORD size = sizeof value;
  if (::RegGetValueW(HKEY_CURRENT_USER, ZoneKey, L"1406", RRF_RT_REG_DWORD, nullptr, &value, &size) != ERROR_SUCCESS)
    return std::nullopt;
  return value;
}

TEST(InternetZoneTest, AllowsCrossDomainDataForTheCurrentUser) {
  // A user who had it forbidden (3), and one without the value at all.
  HKEY zone = nullptr;
  ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, ZoneKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &zone, nullptr),
            ERROR_SUCCESS);
  const DWORD forbidden = 3;
  ASSERT_EQ(::RegSetValueExW(zone, L"1406", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&forbidden), sizeof forbidden),
            ERROR_SUCCESS);
  ASSERT_EQ(CrossDomainSetting(), 3u);
  AllowCrossDomainDataAccess();
  EXPECT_EQ(CrossDomainSetting(), 0u);

  ASSERT_EQ(::RegDeleteValueW(zone, L"1406"), ERROR_SUCCESS);
  ::RegCloseKey(zone);
  ASSERT_EQ(CrossDomainSetting(), std::nullopt);
  AllowCrossDomainDataAccess();
  EXPECT_EQ(CrossDomainSetting(), 0u);
}

}  // namespace
}  // namespace trs
