// Windows: stacks from CaptureStackBackTrace (addresses with the module they belong to;
// MinGW builds carry no PDB for the system to name functions), type names from the C++
// ABI's demangler, which MinGW's GCC shares with Linux.
#include <cxxabi.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "platform/Diagnostics.h"
#include "platform/Win32_win.h"

namespace trs {

namespace {

// "module+0xoffset" for an address, or the bare address when no module holds it.
std::string DescribeAddress(void* address) {
  char text[MAX_PATH + 32];
  HMODULE module = nullptr;
  if (::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           static_cast<LPCWSTR>(address), &module)) {
    wchar_t path[MAX_PATH];
    const DWORD length = ::GetModuleFileNameW(module, path, MAX_PATH);
    std::wstring_view name(path, length);
    name = name.substr(name.find_last_of(L"\\/") + 1);
    const auto offset = static_cast<unsigned long long>(static_cast<char*>(address) - reinterpret_cast<char*>(module));
    std::snprintf(text, sizeof text, "%s+0x%llx", win32::Narrow(name).c_str(), offset);
  } else {
    std::snprintf(text, sizeof text, "%p", address);
  }
  return text;
}

}  // namespace

std::string CurrentStackTrace() {
  void* frames[64];
  const USHORT count = ::CaptureStackBackTrace(1, 64, frames, nullptr);  // without this function
  std::string stack;
  for (USHORT i = 0; i < count; ++i) stack += "  " + DescribeAddress(frames[i]) + "\n";
  return stack;
}

std::string ReadableTypeName(const std::type_info& type) {
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> demangled(abi::__cxa_demangle(type.name(), nullptr, nullptr, &status),
                                                   std::free);
  return status == 0 && demangled ? demangled.get() : type.name();
}

std::string LocalTimestamp(bool withMilliseconds) {
  SYSTEMTIME local;
  ::GetLocalTime(&local);
  char text[48];
  if (withMilliseconds)
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u.%03u", local.wYear, local.wMonth, local.wDay,
                  local.wHour, local.wMinute, local.wSecond, local.wMilliseconds);
  else
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", local.wYear, local.wMonth, local.wDay,
                  local.wHour, local.wMinute, local.wSecond);
  return text;
}

}  // namespace trs
