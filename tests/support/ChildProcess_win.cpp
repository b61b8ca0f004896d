// Windows: CreateProcessW with an environment block of its own and inherited handles for
// standard output and error. The program gets a console of its own: a Ctrl+C reaches every
// process of one console, and only a process attached to that console can send it, so the
// test joins the program's console for the moment it asks it to stop.
#include <cwctype>
#include <stdexcept>

#include "platform/Win32_win.h"
#include "support/ChildProcess.h"

namespace trs::test {
namespace {

HANDLE AsHandle(std::intptr_t value) { return reinterpret_cast<HANDLE>(value); }

bool SameName(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::towupper(a[i]) != std::towupper(b[i])) return false;
  return true;
}

// The test's environment with `changes` set over it (names compare without case, as the
// system's do), as the block CreateProcessW takes.
std::wstring EnvironmentBlock(const TEnvironment& changes) {
  std::vector<std::wstring> entries;
  if (wchar_t* strings = ::GetEnvironmentStringsW()) {
    for (const wchar_t* entry = strings; *entry != L'\0'; entry += wcslen(entry) + 1) entries.emplace_back(entry);
    ::FreeEnvironmentStringsW(strings);
  }
  for (const auto& [name, value] : changes) {
    const std::wstring wideName = win32::Widen(name);
    std::erase_if(entries, [&](const std::wstring& entry) {
      const size_t equals = entry.find(L'=', 1);  // "=C:=C:\..." entries start with '='
      return equals != std::wstring::npos && SameName(std::wstring_view(entry).substr(0, equals), wideName);
    });
    entries.push_back(wideName + L"=" + win32::Widen(value));
  }
  std::wstring block;
  for (const std::wstring& entry : entries) block += entry + L'\0';
  block += L'\0';
  return block;
}

// The test ignores the Ctrl+C it sends while attached to a program's console. A handler, not
// the ignore flag, which the programs the test starts would inherit.
BOOL WINAPI IgnoreCtrlC(DWORD event) { return event == CTRL_C_EVENT ? TRUE : FALSE; }

}  // namespace

TChildProcess::TChildProcess(const std::filesystem::path& program, const TEnvironment& environment,
                             const std::filesystem::path& errorFile, bool readOutput) {
  static const bool ignoring = ::SetConsoleCtrlHandler(IgnoreCtrlC, TRUE);
  (void)ignoring;
  SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  win32::THandle error(::CreateFileW(errorFile.wstring().c_str(), FILE_APPEND_DATA,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherited,
                                     OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!error.Valid()) throw std::runtime_error("cannot open " + errorFile.string());
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  if (readOutput) {
    if (!::CreatePipe(&readEnd, &writeEnd, &inherited, 0)) throw std::runtime_error("CreatePipe");
    ::SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  }
  win32::THandle outputWrite(writeEnd);

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = readOutput ? writeEnd : ::GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = error.Get();
  std::wstring commandLine = L"\"" + program.wstring() + L"\"";
  std::wstring block = EnvironmentBlock(environment);
  PROCESS_INFORMATION started{};
  if (!::CreateProcessW(program.wstring().c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                        CREATE_UNICODE_ENVIRONMENT | CREATE_NEW_CONSOLE, block.data(), nullptr,
                        &startup, &started)) {
    const DWORD code = ::GetLastError();
    if (readEnd != nullptr) ::CloseHandle(readEnd);
    throw std::runtime_error("cannot start " + program.string() + ": " + win32::SystemErrorText(code));
  }
  ::CloseHandle(started.hThread);
  Process = reinterpret_cast<std::intptr_t>(started.hProcess);
  ProcessNumber = static_cast<long>(started.dwProcessId);
  if (readOutput) Output = reinterpret_cast<std::intptr_t>(readEnd);
}

std::string TChildProcess::ReadFirstLine(std::chrono::milliseconds timeout) {
  std::string output;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (Output != -1 && output.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
    DWORD available = 0;
    if (!::PeekNamedPipe(AsHandle(Output), nullptr, 0, nullptr, &available, nullptr)) break;  // closed
    if (available == 0) {
      ::Sleep(20);
      continue;
    }
    char buffer[256];
    DWORD got = 0;
    if (!::ReadFile(AsHandle(Output), buffer, std::min<DWORD>(available, sizeof buffer), &got, nullptr) || got == 0)
      break;
    output.append(buffer, got);
  }
  if (Output != -1) ::CloseHandle(AsHandle(Output));
  Output = -1;
  return output;
}

long TChildProcess::Id() const { return ProcessNumber; }

int TChildProcess::WaitForExit(std::chrono::milliseconds timeout) {
  if (Ended) return -1;
  if (::WaitForSingleObject(AsHandle(Process), static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0) return -1;
  DWORD code = 0;
  ::GetExitCodeProcess(AsHandle(Process), &code);
  Ended = true;
  return static_cast<int>(code);
}

void TChildProcess::RequestStop() {
  if (Ended) return;
  ::FreeConsole();
  if (::AttachConsole(static_cast<DWORD>(ProcessNumber))) {
    ::GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
    ::FreeConsole();
  }
}

TChildProcess::~TChildProcess() {
  if (Output != -1) ::CloseHandle(AsHandle(Output));
  if (!Ended) {
    ::TerminateProcess(AsHandle(Process), 1);
    ::WaitForSingleObject(AsHandle(Process), INFINITE);
  }
  ::CloseHandle(AsHandle(Process));
}

}  // namespace trs::test
