// The product registry in the local machine's registry: the key and its Wow6432Node twin,
// written the way an installer (or a person) does, with the system's reg.exe.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/Exceptions.h"
#include "platform/ProductRegistry.h"
#include "platform/Win32_win.h"

namespace trs {
namespace {

const std::string NativeKey = R"(HKLM\Software\Tally\Quill\Report)";
const std::string TwinKey = R"(HKLM\SOFTWARE\Wow6432Node\Tally\Quill\Report)";

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

// Value names of this process only, so that tests running beside it see none of them; the
// values go again at the end.
class ProductRegistryTest : public testing::Test {
 protected:
  std::string Tag(const std::string& name) const {
    return "trs-test-" + std::to_string(::GetCurrentProcessId()) + "-" + name;
  }
  void AddValue(const std::string& key, const std::string& name, const std::string& type, const std::string& data) {
    ASSERT_EQ(RunReg("add \"" + key + "\" /v \"" + name + "\" /t " + type + " /d \"" + data + "\" /f"), 0u)
        << "reg add " << key << " " << name;
    Written.push_back({key, name});
  }
  void TearDown() override {
    for (const auto& [key, name] : Written) RunReg("delete \"" + key + "\" /v \"" + name + "\" /f");
    ::SetEnvironmentVariableW(L"TRS_REGISTRY_TEST_ROOT", nullptr);
  }

 private:
  std::vector<std::pair<std::string, std::string>> Written;
};

TEST_F(ProductRegistryTest, ReadsTextValuesOfEitherKey) {
  ASSERT_TRUE(::SetEnvironmentVariableW(L"TRS_REGISTRY_TEST_ROOT", L"C:\\Tally"));
  AddValue(NativeKey, Tag("plain"), "REG_SZ", R"(C:\Tally\Plain\\)");
  AddValue(NativeKey, Tag("expanded"), "REG_EXPAND_SZ", R"(%TRS_REGISTRY_TEST_ROOT%\Expanded\\)");
  AddValue(NativeKey, Tag("unknown-variable"), "REG_EXPAND_SZ", R"(%TRS_NOT_SET_ANYWHERE%\x\\)");
  AddValue(NativeKey, Tag("both"), "REG_SZ", R"(C:\Native\\)");
  AddValue(TwinKey, Tag("both"), "REG_SZ", R"(C:\Twin\\)");
  // The first key exists (it holds the values above) but lacks this tag: the twin has it.
  AddValue(TwinKey, Tag("twin-only"), "REG_EXPAND_SZ", R"(%TRS_REGISTRY_TEST_ROOT%\Twin\\)");

  const struct {
    std::string Name;
    std::optional<std::string> Directory;
  } cases[] = {
      {"plain", R"(C:\Tally\Plain\)"},
      {"expanded", R"(C:\Tally\Expanded\)"},
      {"unknown-variable", R"(%TRS_NOT_SET_ANYWHERE%\x\)"},
      {"both", R"(C:\Native\)"},
      {"twin-only", R"(C:\Tally\Twin\)"},
      {"missing", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(LookupProductDirectory(Tag(c.Name)), c.Directory);
  }

  // The list holds both keys' directories, expanded.
  const std::vector<std::string> listed = ListProductDirectories();
  for (const char* directory : {R"(C:\Tally\Plain\)", R"(C:\Tally\Expanded\)", R"(C:\Native\)", R"(C:\Twin\)",
                                R"(C:\Tally\Twin\)"})
    EXPECT_TRUE(std::find(listed.begin(), listed.end(), directory) != listed.end()) << directory << " is not listed";
}

TEST_F(ProductRegistryTest, AValueThatIsNotTextIsAnError) {
  AddValue(NativeKey, Tag("number"), "REG_DWORD", "7");
  AddValue(TwinKey, Tag("twin-number"), "REG_BINARY", "0102");
  for (const std::string name : {"number", "twin-number"}) {
    try {
      LookupProductDirectory(Tag(name));
      ADD_FAILURE() << name << " was read as a directory";
    } catch (const Exception& error) {
      EXPECT_EQ(error.GetMessage(), "Invalid data type for '" + Tag(name) + "'");
    }
  }
}

}  // namespace
}  // namespace trs
