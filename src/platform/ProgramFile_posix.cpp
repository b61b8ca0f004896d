// POSIX: the program's own file comes from /proc/self/exe.
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

const char* PathDelimiter() { return "/"; }

}  // namespace trs
