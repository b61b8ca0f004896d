#include "platform/ReplacementNames.h"

#include <algorithm>
#include <atomic>

#include "platform/Exceptions.h"
#include "platform/ProgramFile.h"
#include "platform/WholeFile.h"

namespace trs {

namespace {

constexpr char ReplacementPrefix[] = ".~trs-";
constexpr char ReplacementSuffix[] = ".tmp";

// The directory part of `path`, with its separator. Windows takes both separators; on Linux a
// backslash is part of a name.
std::string DirectoryOf(const std::string& path) {
  const size_t separator = path.find_last_of(PathDelimiter()[0] == '\\' ? "/\\" : "/");
  return separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
}

}  // namespace

std::string ReplacementName(const std::string& target, uint32_t process) {
  static std::atomic<uint32_t> counter{0};
  const std::string name = Format("%s%08x-%08x%s", ReplacementPrefix, static_cast<unsigned>(process),
                                  static_cast<unsigned>(counter.fetch_add(1)), ReplacementSuffix);
  return DirectoryOf(target) + name;
}

std::optional<uint32_t> ReplacementOwner(std::string_view name) {
  constexpr size_t prefix = sizeof ReplacementPrefix - 1;
  constexpr size_t suffix = sizeof ReplacementSuffix - 1;
  if (name.size() != ReplacementNameLength || name.substr(0, prefix) != ReplacementPrefix ||
      name.substr(name.size() - suffix) != ReplacementSuffix || name[prefix + 8] != '-')
    return std::nullopt;
  const auto hex = [](std::string_view digits) -> std::optional<uint32_t> {
    uint32_t value = 0;
    for (const char c : digits) {
      const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
      if (digit < 0) return std::nullopt;
      value = value << 4 | static_cast<uint32_t>(digit);
    }
    return value;
  };
  const std::optional<uint32_t> owner = hex(name.substr(prefix, 8));
  if (!owner || !hex(name.substr(prefix + 9, 8))) return std::nullopt;
  return owner;
}

bool IsLegacyReplacementName(std::string_view name) {
  constexpr size_t tail = 1 + 20 + 4;  // ".", the digits, ".tmp"
  if (name.size() <= tail || name.substr(name.size() - 4) != ".tmp" || name[name.size() - tail] != '.') return false;
  const std::string_view digits = name.substr(name.size() - tail + 1, 20);
  return std::all_of(digits.begin(), digits.end(),
                     [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

}  // namespace trs
