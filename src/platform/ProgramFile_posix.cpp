// POSIX: the program's own file comes from /proc/self/exe.
#include <unistd.h>

#include <climits>

#include "platform/ProgramFile.h"

namespace trs {

namespace {

std::string ReadProgramFileName() {
  std::string path(PATH_MAX, '\0');
  const ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
  path.resize(length > 0 ? static_cast<size_t>(length) : 0);
  return path;
}

}  // namespace

// Read once: the running file does not change, and engine lookups ask for it at every poll.
std::string ProgramFileName() {
  static const std::string path = ReadProgramFileName();
  return path;
}

std::string ProgramDirectory() {
  static const std::string directory = [] {
    std::string path = ProgramFileName();
    path.resize(path.rfind('/') + 1);  // npos + 1 == 0: an unknown file gives ""
    return path;
  }();
  return directory;
}

const char* PathDelimiter() { return "/"; }

}  // namespace trs
