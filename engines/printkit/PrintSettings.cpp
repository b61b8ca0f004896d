// The shared printing configuration.
#include "PrintSettings.h"

#include <dlfcn.h>
#include <strings.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace printkit {
namespace fs = std::filesystem;

namespace {

std::string Trim(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

bool SameKey(const std::string& a, const std::string& b) { return ::strcasecmp(a.c_str(), b.c_str()) == 0; }

// $NAME when set and not empty, else $HOME followed by `homeRelative`.
std::string XdgFolder(const char* name, const char* homeRelative) {
  const char* value = std::getenv(name);
  if (value != nullptr && *value != 0) return value;
  const char* home = std::getenv("HOME");
  return std::string(home != nullptr && *home != 0 ? home : "/tmp") + homeRelative;
}

}  // namespace

TIniFile TIniFile::Parse(const std::string& text) {
  TIniFile file;
  std::istringstream lines(text);
  std::string section;
  for (std::string line; std::getline(lines, line);) {
    line = Trim(line);
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line.front() == '[' && line.back() == ']') {
      section = Trim(line.substr(1, line.size() - 2));
      if (file.FindSection(section) == nullptr) file.SectionList.push_back({section, {}});
      continue;
    }
    const size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    file.Set(section, Trim(line.substr(0, equals)), Trim(line.substr(equals + 1)));
  }
  return file;
}

TIniFile TIniFile::Load(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  std::ostringstream text;
  text << in.rdbuf();
  return Parse(text.str());
}

std::string TIniFile::Text() const {
  std::string text;
  for (const TSection& section : SectionList) {
    if (!text.empty()) text += "\n";
    text += "[" + section.Name + "]\n";
    for (const auto& [key, value] : section.Entries) text += key + "=" + value + "\n";
  }
  return text;
}

void TIniFile::Save(const std::string& path) const {
  const fs::path target(path);
  std::error_code ignored;
  if (target.has_parent_path()) fs::create_directories(target.parent_path(), ignored);
  const std::string temporary = path + ".new." + std::to_string(::getpid());
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << Text();
    if (!out.flush()) throw std::runtime_error("cannot write " + temporary);
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    fs::remove(temporary, ignored);
    throw std::runtime_error("cannot replace " + path);
  }
}

TIniFile::TSection* TIniFile::FindSection(const std::string& name) {
  for (TSection& section : SectionList)
    if (SameKey(section.Name, name)) return &section;
  return nullptr;
}

const TIniFile::TSection* TIniFile::FindSection(const std::string& name) const {
  return const_cast<TIniFile*>(this)->FindSection(name);
}

const std::string* TIniFile::Find(const std::string& section, const std::string& key) const {
  const TSection* found = FindSection(section);
  if (found == nullptr) return nullptr;
  for (const auto& [name, value] : found->Entries)
    if (SameKey(name, key)) return &value;
  return nullptr;
}

void TIniFile::Set(const std::string& section, const std::string& key, const std::string& value) {
  TSection* found = FindSection(section);
  if (found == nullptr) {
    SectionList.push_back({section, {}});
    found = &SectionList.back();
  }
  for (auto& [name, old] : found->Entries)
    if (SameKey(name, key)) {
      old = value;
      return;
    }
  found->Entries.emplace_back(key, value);
}

std::vector<std::string> TIniFile::Sections() const {
  std::vector<std::string> names;
  for (const TSection& section : SectionList) names.push_back(section.Name);
  return names;
}

std::vector<std::pair<std::string, std::string>> TIniFile::Entries(const std::string& section) const {
  const TSection* found = FindSection(section);
  return found == nullptr ? std::vector<std::pair<std::string, std::string>>{} : found->Entries;
}

TPrintSettings TPrintSettings::Current() {
  TPrintSettings settings;
  settings.UserValues = TIniFile::Load(UserFile());
  settings.Defaults = TIniFile::Load(DefaultsFile());
  return settings;
}

std::string TPrintSettings::UserFile() {
  const char* redirected = std::getenv("TALLYREPORTSRV_PRINTING_INI");
  if (redirected != nullptr && *redirected != 0) return redirected;
  return XdgFolder("XDG_CONFIG_HOME", "/.config") + "/Tally/Quill/printing.ini";
}

std::string TPrintSettings::DefaultsFile() { return EngineDirectory() + "printing.ini"; }

std::string TPrintSettings::Text(const std::string& section, const std::string& key, const std::string& fallback) const {
  if (const std::string* value = UserValues.Find(section, key)) return *value;
  if (const std::string* value = Defaults.Find(section, key)) return *value;
  return fallback;
}

int TPrintSettings::Number(const std::string& section, const std::string& key, int fallback) const {
  const std::string text = Text(section, key);
  if (text.empty()) return fallback;
  char* end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 10);
  return (*end == 0 && value >= -1000000000L && value <= 1000000000L) ? static_cast<int>(value) : fallback;
}

TIniFile TPrintSettings::Merged() const {
  TIniFile merged = Defaults;
  for (const std::string& section : UserValues.Sections())
    for (const auto& [key, value] : UserValues.Entries(section)) merged.Set(section, key, value);
  return merged;
}

std::string ResolveConfigPath(const std::string& path) {
  if (path.empty() || path[0] == '/') return path;
  const fs::path user = fs::path(TPrintSettings::UserFile()).parent_path() / path;
  std::error_code ignored;
  if (fs::exists(user, ignored)) return user.string();
  const fs::path shipped = fs::path(EngineDirectory()) / path;
  return fs::exists(shipped, ignored) ? shipped.string() : user.string();
}

std::string DataFolder() { return XdgFolder("XDG_DATA_HOME", "/.local/share") + "/Tally/Quill/"; }

std::string EngineDirectory() {
  Dl_info info{};
  if (::dladdr(reinterpret_cast<void*>(&EngineDirectory), &info) == 0 || info.dli_fname == nullptr) return "./";
  const std::string path = info.dli_fname;
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? "./" : path.substr(0, slash + 1);
}

}  // namespace printkit
