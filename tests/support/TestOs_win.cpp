// Windows: the C runtime's environment (which updates the system's too, so started programs
// inherit it) and FormatMessage texts.
#include <cstdint>
#include <cstdlib>
#include <stdexcept>

#include "platform/WholeFile.h"

#include "platform/Win32_win.h"
#include "support/TestOs.h"

namespace trs::test {

const char PathSeparator[] = "\\";
const bool FilesHavePermissionBits = false;

std::filesystem::path TestProgramFile() {
  wchar_t self[MAX_PATH];
  const DWORD length = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  return std::filesystem::path(std::wstring(self, length));
}

namespace {
constexpr const wchar_t* ProductKey = L"Software\\Tally\\Quill\\Report";
}  // namespace

TTestProductRegistry::TTestProductRegistry(const std::filesystem::path&) {
  ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, ProductKey);
  HKEY key = nullptr;
  if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, ProductKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
      ERROR_SUCCESS)
    throw std::runtime_error("cannot create the product registry key");
  ::RegCloseKey(key);
}

TTestProductRegistry::~TTestProductRegistry() { ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, ProductKey); }

void TTestProductRegistry::Register(const std::string& tag, const std::string& directory) const {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, ProductKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
    throw std::runtime_error("cannot open the product registry key");
  const std::wstring value = win32::Widen(directory);
  const LONG set = ::RegSetValueExW(key, win32::Widen(tag).c_str(), 0, REG_SZ,
                                    reinterpret_cast<const BYTE*>(value.c_str()),
                                    static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  ::RegCloseKey(key);
  if (set != ERROR_SUCCESS) throw std::runtime_error("cannot register the product " + tag);
}

void SetVariable(const std::string& name, const std::string& value) {
  ::_wputenv_s(win32::Widen(name).c_str(), win32::Widen(value).c_str());
}

// An empty value removes the variable from the runtime's and the system's environment.
void UnsetVariable(const std::string& name) { ::_wputenv_s(win32::Widen(name).c_str(), L""); }

std::optional<void*> LoadedLibraryExport(const std::string& path, const char* name) {
  const HMODULE module = ::GetModuleHandleW(win32::Widen(path).c_str());
  if (module == nullptr) return std::nullopt;
  return reinterpret_cast<void*>(::GetProcAddress(module, name));
}

long CurrentProcessNumber() { return static_cast<long>(::GetCurrentProcessId()); }

namespace {

// This test program again, suspended before its first instruction: a process that runs and
// does nothing until it is ended.
PROCESS_INFORMATION StartSuspendedCopy() {
  wchar_t self[MAX_PATH];
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring commandLine = L"\"" + std::wstring(self) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  if (!::CreateProcessW(self, commandLine.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr,
                        &startup, &started))
    throw std::runtime_error("cannot start a copy: " + win32::SystemErrorText(::GetLastError()));
  ::CloseHandle(started.hThread);
  return started;
}

}  // namespace

long EndedProcessNumber() {
  const PROCESS_INFORMATION started = StartSuspendedCopy();
  ::TerminateProcess(started.hProcess, 0);
  ::WaitForSingleObject(started.hProcess, INFINITE);
  ::CloseHandle(started.hProcess);
  return static_cast<long>(started.dwProcessId);
}

TRunningProcess::TRunningProcess() {
  const PROCESS_INFORMATION started = StartSuspendedCopy();
  Process = reinterpret_cast<std::intptr_t>(started.hProcess);
  ProcessNumber = static_cast<long>(started.dwProcessId);
}

TRunningProcess::~TRunningProcess() {
  const HANDLE process = reinterpret_cast<HANDLE>(Process);
  ::TerminateProcess(process, 0);
  ::WaitForSingleObject(process, INFINITE);
  ::CloseHandle(process);
}

TFileSizeLimit::TFileSizeLimit(size_t bytes) { LimitReplacementSizeForTests(bytes); }

TFileSizeLimit::~TFileSizeLimit() { LimitReplacementSizeForTests(SIZE_MAX); }

int SystemErrorNumber(TSystemError error) {
  switch (error) {
    case TSystemError::NoSuchFile: return ERROR_FILE_NOT_FOUND;
    case TSystemError::NoSuchDirectory: return ERROR_PATH_NOT_FOUND;
    case TSystemError::NoSuchLibrary: return ERROR_MOD_NOT_FOUND;
    case TSystemError::DiskFull: return ERROR_DISK_FULL;
    case TSystemError::AddressNotAvailable: return WSAEADDRNOTAVAIL;
  }
  return 0;
}

std::string SystemErrorText(TSystemError error) {
  return win32::SystemErrorText(static_cast<DWORD>(SystemErrorNumber(error)));
}

}  // namespace trs::test
