// The printing configuration the real engines share: one INI file with a section per
// device ([receipt], [labels], [display]). The user's file is
// $XDG_CONFIG_HOME/Tally/Quill/printing.ini (TALLYREPORTSRV_PRINTING_INI names another,
// for tests); keys it lacks come from printing.ini beside the engines, the defaults that
// ship with them. The configuration window saves back into the user's file only.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace printkit {

// One INI file: ordered sections of ordered key=value pairs. Lines starting with ";" or
// "#" are comments; blanks around keys and values are dropped; keys compare without case.
class TIniFile {
 public:
  static TIniFile Parse(const std::string& text);
  // An absent or unreadable file gives an empty one.
  static TIniFile Load(const std::string& path);
  std::string Text() const;
  // Written beside `path` and renamed over it; throws std::runtime_error on failure.
  void Save(const std::string& path) const;

  const std::string* Find(const std::string& section, const std::string& key) const;
  void Set(const std::string& section, const std::string& key, const std::string& value);
  std::vector<std::string> Sections() const;
  std::vector<std::pair<std::string, std::string>> Entries(const std::string& section) const;

 private:
  struct TSection {
    std::string Name;
    std::vector<std::pair<std::string, std::string>> Entries;
  };
  TSection* FindSection(const std::string& name);
  const TSection* FindSection(const std::string& name) const;
  std::vector<TSection> SectionList;
};

// The user's file over the shipped defaults, read afresh for each job (a change made in
// the file or the window applies to the next job without a restart).
class TPrintSettings {
 public:
  // Reads both files now.
  static TPrintSettings Current();
  // The user's file and the defaults beside the engines.
  static std::string UserFile();
  static std::string DefaultsFile();

  std::string Text(const std::string& section, const std::string& key, const std::string& fallback = "") const;
  // A number; `fallback` when absent or not a whole number.
  int Number(const std::string& section, const std::string& key, int fallback) const;
  // Every section and key known from either file, the user's values first.
  TIniFile Merged() const;
  const TIniFile& User() const { return UserValues; }

 private:
  TIniFile UserValues;
  TIniFile Defaults;
};

// A path named in the settings: absolute as it is, else relative to the user's
// configuration folder (the folder of UserFile()) when the file is there, else to the
// engines' folder, where the shipped files are.
std::string ResolveConfigPath(const std::string& path);

// Where the engines keep what they create for the user: $XDG_DATA_HOME/Tally/Quill/
// (~/.local/share/... by default), with a trailing "/". Not created here.
std::string DataFolder();

// The directory of the engine's own file, with a trailing "/".
std::string EngineDirectory();

}  // namespace printkit
