// POSIX: names are case-sensitive, so the fallback reads the directory.
#include "platform/FileNames.h"

#include <dirent.h>
#include <sys/stat.h>

#include <memory>

#include "platform/Text.h"

namespace trs {

bool FileExists(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::string ResolveFileNameIgnoringCase(const std::string& path) {
  struct stat info;
  if (::stat(path.c_str(), &info) == 0) return path;
  const size_t slash = path.rfind('/');
  const std::string directory = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (name.empty()) return path;
  const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(directory.c_str()), ::closedir);
  if (!dir) return path;
  while (const dirent* entry = ::readdir(dir.get())) {
    if (SameTextAscii(entry->d_name, name))
      return (slash == std::string::npos ? std::string() : directory) + entry->d_name;
  }
  return path;
}

}  // namespace trs
