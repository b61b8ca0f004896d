// Windows: the guard is a named mutex in the session's namespace. The system releases it
// when the process ends, however it ends.
#include "platform/Exceptions.h"
#include "platform/SingleInstance.h"
#include "platform/Win32_win.h"

namespace trs {

TSingleInstance::TSingleInstance(const std::string& name) : GuardPath(name) {
  HANDLE mutex = ::CreateMutexW(nullptr, FALSE, win32::Widen(name).c_str());
  if (mutex == nullptr)
    throw Exception(Format("Cannot create the single-instance guard \"%s\": %s", name.c_str(),
                           win32::SystemErrorText(::GetLastError()).c_str()));
  // The mutex existed: another copy of the program holds it.
  if (::GetLastError() == ERROR_ALREADY_EXISTS) {
    ::CloseHandle(mutex);
    return;
  }
  Handle = reinterpret_cast<std::intptr_t>(mutex);
}

TSingleInstance::~TSingleInstance() {
  if (Handle != NoHandle) ::CloseHandle(reinterpret_cast<HANDLE>(Handle));
}

}  // namespace trs
