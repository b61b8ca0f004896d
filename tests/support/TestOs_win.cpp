// Windows: the C runtime's environment (which updates the system's too, so started programs
// inherit it) and FormatMessage texts.
#include <cstdint>
#include <cstdlib>
#include <stdexcept>

#include "platform/WholeFile.h"

#include "platform/Win32_win.h"
#include "support/TestOs.h"

namespace trs::test {

void SetVariable(const std::string& name, const std::string& value) {
  ::_wputenv_s(win32::Widen(name).c_str(), win32::Widen(value).c_str());
}

// An empty value removes the variable from the runtime's and the system's environment.
void UnsetVariable(const std::string& name) { ::_wputenv_s(win32::Widen(name).c_str(), L""); }

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
    case TSystemError::DiskFull: return ERROR_DISK_FULL;
    case TSystemError::AddressNotAvailable: return WSAEADDRNOTAVAIL;
  }
  return 0;
}

std::string SystemErrorText(TSystemError error) {
  return win32::SystemErrorText(static_cast<DWORD>(SystemErrorNumber(error)));
}

}  // namespace trs::test
