// POSIX: the product registry is the file Tally/Quill/Report.conf in the first directory of
// $XDG_CONFIG_DIRS (default /etc/xdg) that has it; lines "name=value", names without regard
// to case.
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/ProductRegistry.h"
#include "platform/Text.h"

namespace trs {
namespace {

constexpr const char* RegistryFile = "Tally/Quill/Report.conf";

std::optional<std::string> OpenRegistry(std::ifstream& file) {
  const char* dirs = std::getenv("XDG_CONFIG_DIRS");
  std::stringstream list((dirs && *dirs) ? dirs : "/etc/xdg");
  std::string dir;
  while (std::getline(list, dir, ':')) {
    if (dir.empty()) continue;
    if (dir.back() != '/') dir += '/';
    file.open(dir + RegistryFile);
    if (file.is_open()) return dir;
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> LookupProductDirectory(const std::string& tag) {
  std::ifstream file;
  if (!OpenRegistry(file)) return std::nullopt;
  std::string line;
  while (std::getline(file, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    if (SameTextAscii(Trim(std::string_view(line).substr(0, equals)), tag))
      return line.substr(equals + 1);
  }
  return std::nullopt;
}

std::vector<std::string> ListProductDirectories() {
  std::vector<std::string> directories;
  std::ifstream file;
  if (!OpenRegistry(file)) return directories;
  std::string line;
  while (std::getline(file, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t equals = line.find('=');
    if (equals != std::string::npos && equals + 1 < line.size()) directories.push_back(line.substr(equals + 1));
  }
  return directories;
}

}  // namespace trs
