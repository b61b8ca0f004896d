// The product registry in the local machine's registry: the key Software\Tally\Quill\Report
// and its Wow6432Node twin, written the way an installer (or a person) does, with the
// system's reg.exe, in the test's own Wine prefix.
//
// Every state of the two keys is a scenario of one test, so that no two test processes
// clear and fill the same keys at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "platform/Exceptions.h"
#include "platform/ProductRegistry.h"
#include "platform/Win32_win.h"

namespace trs {
namespace {

constexpr wchar_t NativePath[] = L"Software\\Tally\\Quill\\Report";
constexpr wchar_t TwinPath[] = L"SOFTWARE\\Wow6432Node\\Tally\\Quill\\Report";

// Runs reg.exe with `arguments` (no shell in between, so %NAME% reaches it as written) and
// gives its exit code.
DWORD RunReg(const std::string& arguments) {
  std::wstring commandLine = win32::Widen("reg.exe " + arguments);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                        &startup, &process))
    return ::GetLastError();
  const win32::THandle processHandle(process.hProcess), threadHandle(process.hThread);
  ::WaitForSingleObject(processHandle.Get(), INFINITE);
  DWORD exitCode = 1;
  ::GetExitCodeProcess(processHandle.Get(), &exitCode);
  return exitCode;
}

void RemoveKeys() {
  for (const wchar_t* path : {NativePath, TwinPath}) ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, path);
}

enum class TKey { Native, Twin };

struct TValue {
  TKey Key;
  std::string Name;
  std::string Type;  // as reg.exe names it
  std::string Data;
};

// A tag and what looking it up gives: a directory, nothing, or an error's message.
struct TLookup {
  std::string Tag;
  std::optional<std::string> Directory;
  std::string Error;
};

struct TScenario {
  std::string Name;
  std::vector<TValue> Values;
  std::vector<TLookup> Lookups;
  std::vector<std::string> Listed;  // in any order
};

void Write(const TValue& value) {
  const std::string key = value.Key == TKey::Native ? R"(HKLM\Software\Tally\Quill\Report)"
                                                    : R"(HKLM\SOFTWARE\Wow6432Node\Tally\Quill\Report)";
  ASSERT_EQ(RunReg("add \"" + key + "\" /v \"" + value.Name + "\" /t " + value.Type + " /d \"" + value.Data + "\" /f"),
            0u)
      << "reg add " << key << " /v " << value.Name;
}

void Check(const TLookup& lookup) {
  SCOPED_TRACE(lookup.Tag);
  try {
    const std::optional<std::string> directory = LookupProductDirectory(lookup.Tag);
    EXPECT_EQ(lookup.Error, "") << "no error";
    EXPECT_EQ(directory, lookup.Directory);
  } catch (const Exception& error) {
    EXPECT_EQ(error.GetMessage(), lookup.Error);
  }
}

class ProductRegistryTest : public testing::Test {
 protected:
  void SetUp() override {
    RemoveKeys();
    ASSERT_TRUE(::SetEnvironmentVariableW(L"TRS_REGISTRY_TEST_ROOT", L"C:\\Tally"));
  }
  void TearDown() override {
    RemoveKeys();
    ::SetEnvironmentVariableW(L"TRS_REGISTRY_TEST_ROOT", nullptr);
  }
};

TEST_F(ProductRegistryTest, LooksUpTagsInTheKeyThenInItsTwin) {
  // reg.exe reads a backslash before the closing quotation mark as an escape: "\\" ends a
  // value with one backslash.
  const TScenario scenarios[] = {
      {"no key", {}, {{"Barcode", std::nullopt, ""}}, {}},
      {"the key only",
       {{TKey::Native, "Barcode", "REG_SZ", R"(C:\Tally\Barcode\\)"},
        {TKey::Native, "Bill", "REG_SZ", R"(C:\Tally\票据\\)"},
        {TKey::Native, "Expanded", "REG_EXPAND_SZ", R"(%TRS_REGISTRY_TEST_ROOT%\Expanded\\)"},
        {TKey::Native, "Unknown", "REG_EXPAND_SZ", R"(%TRS_NOT_SET_ANYWHERE%\x\\)"}},
       {{"barcode", R"(C:\Tally\Barcode\)", ""},
        {"BILL", R"(C:\Tally\票据\)", ""},
        {"Expanded", R"(C:\Tally\Expanded\)", ""},
        {"Unknown", R"(%TRS_NOT_SET_ANYWHERE%\x\)", ""},
        {"Report", std::nullopt, ""}},
       {R"(C:\Tally\Barcode\)", R"(C:\Tally\票据\)", R"(C:\Tally\Expanded\)", R"(%TRS_NOT_SET_ANYWHERE%\x\)"}},
      {"the twin only",
       {{TKey::Twin, "Barcode", "REG_SZ", R"(C:\Tally32\Barcode\\)"}},
       {{"Barcode", R"(C:\Tally32\Barcode\)", ""}},
       {R"(C:\Tally32\Barcode\)"}},
      // The key exists (it holds other tags) but lacks Label: the twin still has it.
      {"both keys",
       {{TKey::Native, "Other", "REG_SZ", R"(C:\Other\\)"},
        {TKey::Native, "Both", "REG_SZ", R"(C:\Native\\)"},
        {TKey::Twin, "Both", "REG_SZ", R"(C:\Twin\\)"},
        {TKey::Twin, "Label", "REG_EXPAND_SZ", R"(%TRS_REGISTRY_TEST_ROOT%\Label\\)"}},
       {{"Both", R"(C:\Native\)", ""}, {"Label", R"(C:\Tally\Label\)", ""}, {"Missing", std::nullopt, ""}},
       {R"(C:\Other\)", R"(C:\Native\)", R"(C:\Twin\)", R"(C:\Tally\Label\)"}},
      {"values that are not text",
       {{TKey::Native, "Number", "REG_DWORD", "7"}, {TKey::Twin, "Bytes", "REG_BINARY", "0102"}},
       {{"Number", std::nullopt, "Invalid data type for 'Number'"},
        {"Bytes", std::nullopt, "Invalid data type for 'Bytes'"}},
       {}},
  };
  for (const TScenario& scenario : scenarios) {
    SCOPED_TRACE(scenario.Name);
    RemoveKeys();
    for (const TValue& value : scenario.Values) Write(value);
    for (const TLookup& lookup : scenario.Lookups) Check(lookup);
    std::vector<std::string> listed = ListProductDirectories();
    std::vector<std::string> expected = scenario.Listed;
    std::sort(listed.begin(), listed.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(listed, expected);
  }
}

}  // namespace
}  // namespace trs
