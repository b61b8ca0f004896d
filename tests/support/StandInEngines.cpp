// Stand-in engines for tests: their files, product directories and the journal.
#include "support/StandInEngines.h"
#include "support/TestOs.h"

#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

namespace trs::test {
namespace fs = std::filesystem;

namespace {

fs::path UniqueTempFolder(const std::string& kind, const std::string& name) {
  static int counter = 0;
  const fs::path folder = fs::temp_directory_path() /
                          ("trs-" + kind + "-" + std::to_string(CurrentProcessNumber()) + "-" + std::to_string(++counter) + "-" + name);
  fs::remove_all(folder);
  fs::create_directories(folder);
  return folder;
}

// The JSON string value after `"key":"` in `line`, unescaping nothing (names are plain).
std::string StringMember(const std::string& line, const std::string& key) {
  const std::string marker = "\"" + key + "\":\"";
  const size_t start = line.find(marker);
  if (start == std::string::npos) return {};
  const size_t from = start + marker.size();
  return line.substr(from, line.find('"', from) - from);
}

}  // namespace

std::string StandInEngine(const std::string& fileName, const std::string& variant) {
  const fs::path build = TRS_ENGINE_DIR;
  if (!variant.empty()) return (build / "engines" / variant / fileName).string();
  const fs::path kept = build / "engines" / "standin" / fileName;
  return (fs::exists(kept) ? kept : build / fileName).string();
}

TProductDirectory::TProductDirectory(const std::string& name) : Root(UniqueTempFolder("product", name)) {
  fs::create_directories(Root / "product/data");
  Registry = std::make_unique<TTestProductRegistry>(Root);
  Registry->Register(Tag, Path());
}

TProductDirectory::~TProductDirectory() {
  Registry.reset();
  std::error_code ignored;
  fs::remove_all(Root, ignored);
}

std::string TProductDirectory::Path() const { return (Root / "product").string() + PathSeparator; }

fs::path TProductDirectory::DataFile(const std::string& name) const { return Root / "product/data" / name; }

void TProductDirectory::Install(const std::string& source, const std::string& fileName) const {
  fs::copy_file(source, Root / "product" / fileName, fs::copy_options::overwrite_existing);
}

void TProductDirectory::Register(const std::string& tag, const std::string& directory) const {
  Registry->Register(tag, directory);
}

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

TEngineJournal::TEngineJournal(bool setForThisProcess)
    : Folder(UniqueTempFolder("journal", "engines")), SetForProcess(setForThisProcess) {
  Control("");
  if (SetForProcess)
    for (const auto& [name, value] : Environment()) test::SetVariable(name, value);
}

TEngineJournal::~TEngineJournal() {
  if (SetForProcess) {
    test::UnsetVariable("TRS_ENGINE_JOURNAL");
    test::UnsetVariable("TRS_ENGINE_CONTROL");
  }
  std::error_code ignored;
  fs::remove_all(Folder, ignored);
}

std::vector<TEngineCall> TEngineJournal::Calls(const std::string& engine, bool withFormQueries) const {
  std::vector<TEngineCall> calls;
  std::ifstream file(Folder / "journal.jsonl");
  for (std::string line; std::getline(file, line);) {
    TEngineCall call{StringMember(line, "engine"), StringMember(line, "call"), {}};
    const size_t args = line.find("\"args\":");
    if (args != std::string::npos) call.Args = line.substr(args + 7, line.size() - (args + 7) - 1);
    if (!engine.empty() && call.Engine != engine) continue;
    if (!withFormQueries && call.Call == "GetIsShowedForm") continue;
    calls.push_back(std::move(call));
  }
  return calls;
}

void TEngineJournal::Clear() const { std::ofstream(Folder / "journal.jsonl", std::ios::trunc); }

void TEngineJournal::Control(const std::string& lines) const {
  std::ofstream(Folder / "control.ini", std::ios::trunc) << lines;
}

std::vector<std::pair<std::string, std::string>> TEngineJournal::Environment() const {
  return {{"TRS_ENGINE_JOURNAL", (Folder / "journal.jsonl").string()},
          {"TRS_ENGINE_CONTROL", (Folder / "control.ini").string()}};
}

}  // namespace trs::test
