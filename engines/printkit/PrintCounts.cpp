#include "PrintCounts.h"

#include <cstdio>
#include <cstdlib>

#include "PrintSettings.h"

namespace printkit {

namespace {

int NumberIn(const TIniFile& file, const std::string& section, const std::string& key) {
  const std::string* value = file.Find(section, key);
  return value == nullptr ? 0 : std::atoi(value->c_str());
}

}  // namespace

void TPrintCounts::SetLimitEnabled(bool enabled) {
  trs::TLockGuard guard(Lock);
  TIniFile file = TIniFile::Load(Path);
  file.Set("limit", "enabled", enabled ? "1" : "0");
  file.Save(Path);
}

void TPrintCounts::SetLimitTimes(int times) {
  trs::TLockGuard guard(Lock);
  TIniFile file = TIniFile::Load(Path);
  file.Set("limit", "times", std::to_string(times));
  file.Save(Path);
}

bool TPrintCounts::MayPrint(const std::string& document) {
  trs::TLockGuard guard(Lock);
  Current = document;
  const TIniFile file = TIniFile::Load(Path);
  const int times = NumberIn(file, "limit", "times");
  if (NumberIn(file, "limit", "enabled") == 0 || times <= 0) return true;
  return NumberIn(file, "counts", document) < times;
}

void TPrintCounts::CountPrint(const std::string& document) {
  trs::TLockGuard guard(Lock);
  Current = document;
  TIniFile file = TIniFile::Load(Path);
  file.Set("counts", document, std::to_string(NumberIn(file, "counts", document) + 1));
  file.Save(Path);
}

int TPrintCounts::CurrentCount() {
  trs::TLockGuard guard(Lock);
  return Current.empty() ? 0 : NumberIn(TIniFile::Load(Path), "counts", Current);
}

std::string DocumentKey(const std::string& name, const std::string& headContent) {
  // FNV-1a, 64 bits: a stable digest, not a secret.
  uint64_t hash = 14695981039346656037ull;
  for (const char c : headContent) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ull;
  }
  char digest[17];
  std::snprintf(digest, sizeof digest, "%016llx", static_cast<unsigned long long>(hash));
  // The key is an INI key: no "=" or line breaks from the name.
  std::string key;
  for (const char c : name) key += (c == '=' || c == '\n' || c == '\r' || c == '[' || c == ']') ? '_' : c;
  return key + "#" + digest;
}

}  // namespace printkit
