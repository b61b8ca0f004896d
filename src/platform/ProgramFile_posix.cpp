// POSIX: the program's own file comes from /proc/self/exe, a library's from dladdr.
#include <dlfcn.h>
#include <unistd.h>

#include <climits>

#include "platform/ProgramFile.h"

namespace trs {

std::string ProgramFileName() {
  std::string path(PATH_MAX, '\0');
  const ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
  path.resize(length > 0 ? static_cast<size_t>(length) : 0);
  return path;
}

std::string ProgramDirectory() {
  std::string path = ProgramFileName();
  path.resize(path.rfind('/') + 1);  // npos + 1 == 0: an unknown file gives ""
  return path;
}

std::string ModuleDirectoryOf(const void* address) {
  Dl_info info{};
  if (::dladdr(address, &info) == 0 || info.dli_fname == nullptr) return {};
  std::string path = info.dli_fname;
  path.resize(path.rfind('/') + 1);
  return path;
}

const char* PathDelimiter() { return "/"; }

}  // namespace trs
