// The product registry in the Windows registry: the local machine's Software\Tally\Quill\Report,
// then its Wow6432Node twin. The test writes the keys itself (a test prefix under Wine, where
// the test may write the local machine's keys) and removes them again.
#include <gtest/gtest.h>

#include "platform/ProductRegistry.h"
#include "platform/Win32_win.h"

namespace trs {
namespace {

constexpr const wchar_t* NativeKey = L"Software\\Tally\\Quill\\Report";
constexpr const wchar_t* Wow64Key = L"SOFTWARE\\Wow6432Node\\Tally\\Quill\\Report";

void SetValue(const wchar_t* keyPath, const std::wstring& name, const std::wstring& value) {
  HKEY key = nullptr;
  ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, keyPath, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  const LONG set = ::RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                    static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  ::RegCloseKey(key);
  ASSERT_EQ(set, ERROR_SUCCESS);
}

class ProductRegistryTest : public testing::Test {
 protected:
  void SetUp() override { RemoveKeys(); }
  void TearDown() override { RemoveKeys(); }
  static void RemoveKeys() {
    for (const wchar_t* key : {NativeKey, Wow64Key}) ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, key);
  }
};

TEST_F(ProductRegistryTest, FindsTagsWithoutRegardToCase) {
  SetValue(NativeKey, L"Barcode", L"C:\\Tally\\Barcode\\");
  SetValue(NativeKey, L"Bill", L"C:\\Tally\\票据\\");
  EXPECT_EQ(LookupProductDirectory("barcode"), "C:\\Tally\\Barcode\\");
  EXPECT_EQ(LookupProductDirectory("BILL"), "C:\\Tally\\票据\\");
  EXPECT_EQ(LookupProductDirectory("Report"), std::nullopt);
}

TEST_F(ProductRegistryTest, TheWow64TwinIsReadWhenTheNativeKeyIsMissing) {
  SetValue(Wow64Key, L"Barcode", L"C:\\Tally32\\Barcode\\");
  EXPECT_EQ(LookupProductDirectory("Barcode"), "C:\\Tally32\\Barcode\\");
}

TEST_F(ProductRegistryTest, NoKeyMeansNoProduct) {
  EXPECT_EQ(LookupProductDirectory("Barcode"), std::nullopt);
  EXPECT_TRUE(ListProductDirectories().empty());
}

}  // namespace
}  // namespace trs
