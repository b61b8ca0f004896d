// CONFIG.CFG: the line reader behind GetConfig, the line-list writers and the atomic save.
#include "shell/ConfigFile.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string_view>
#include <vector>

#include "desktop/DesktopUtils.h"
#include "platform/Exceptions.h"
#include "platform/ProgramFile.h"
#include "platform/Text.h"
#include "platform/WholeFile.h"

namespace trs {
namespace {

struct TFileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using TFile = std::unique_ptr<std::FILE, TFileCloser>;

std::string UpperAscii(std::string_view text) {
  std::string upper(text);
  for (char& c : upper)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return upper;
}

// Reads the next line for GetConfig; false at the end of the file or on a read error.
// A line ends at LF; a CR right before the LF belongs to the line end, any other byte there
// is text (files saved with LF alone keep their last character). A last line without LF
// counts. Only ConfigLineTextLimit bytes of a line are kept; the rest of a longer line is
// skipped up to its LF, so the following lines are read whole.
bool ReadConfigLine(std::FILE* file, std::string& line) {
  line.clear();
  bool overlong = false;
  bool any = false;
  int c = EOF;
  while ((c = std::getc(file)) != EOF) {
    any = true;
    if (c == '\n') break;
    // One byte beyond the limit is kept, so that a CR there can still be told apart from text.
    if (line.size() <= ConfigLineTextLimit)
      line.push_back(static_cast<char>(c));
    else
      overlong = true;
  }
  if (!any || std::ferror(file)) return false;
  if (c == '\n' && !overlong && !line.empty() && line.back() == '\r') line.pop_back();
  line.resize(NarrowCutLength(line, ConfigLineTextLimit));
  return true;
}

// The value of a line that matched: what follows its first "=", without trailing characters
// of code 32 or below; leading blanks are part of the value.
std::string ValueOfLine(const std::string& line) {
  const size_t equals = line.find('=');
  if (equals == std::string::npos) return {};
  size_t end = line.size();
  while (end > equals + 1 && static_cast<unsigned char>(line[end - 1]) <= 32) --end;
  return line.substr(equals + 1, end - equals - 1);
}

// The whole file as lines for the writers. A line ends at CR LF, LF or CR; a last line
// without an ending counts, and a final line ending adds no empty line.
std::vector<std::string> LoadLines(const std::string& path) {
  const std::string bytes = ReadWholeFile(path);
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] != '\r' && bytes[i] != '\n') continue;
    lines.push_back(bytes.substr(start, i - start));
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < bytes.size()) lines.push_back(bytes.substr(start));
  return lines;
}

// Replaces the file by the lines, each ended by CR LF, so that a crash or a full disk never
// leaves a half-written file: EFCreateError on failure, with the old file untouched.
void SaveLines(const std::string& path, const std::vector<std::string>& lines) {
  std::string bytes;
  for (const std::string& line : lines) bytes.append(line).append("\r\n");

  ReplaceFile(path, bytes);
}

}  // namespace

std::string ConfigFileName() { return ProgramDirectory() + "CONFIG.CFG"; }

std::string GetConfig(const std::string& key, const std::string& fileName) {
  const std::string path = fileName.empty() ? ConfigFileName() : fileName;
  const std::string upperKey = UpperAscii(key);
  {
    const TFile file(std::fopen(path.c_str(), "rb"));
    bool readable = file != nullptr;
    if (readable) {
      std::string line;
      while (ReadConfigLine(file.get(), line))
        if (line.size() >= upperKey.size() && SameTextAscii(std::string_view(line).substr(0, upperKey.size()), upperKey))
          return ValueOfLine(line);
      readable = !std::ferror(file.get());  // e.g. a directory opens but cannot be read
    }
    if (!readable) {
      ShowInfoBox(Utf8ToNarrow("提示信息（GetConfig）配置文件") + path + Utf8ToNarrow("打开错误"));
      return {};
    }
  }

  // The key is missing: add it with no value, before the END line.
  std::vector<std::string> lines = LoadLines(path);
  const auto end = std::find_if(lines.begin(), lines.end(),
                                [](const std::string& line) { return SameTextAscii(line, "END"); });
  if (end != lines.end()) lines.erase(end);
  lines.push_back(upperKey + "=");
  lines.push_back("END");
  SaveLines(path, lines);
  return {};
}

void SetConfig(const std::string& key, const std::string& value) {
  SetConfigIn(ConfigFileName(), key, value);
}

void SetConfigIn(const std::string& fileName, const std::string& key, const std::string& value) {
  const std::string upperKey = UpperAscii(key);
  std::vector<std::string> lines = LoadLines(fileName);
  // The last line whose whole name is the key; with duplicates the reader sees the first.
  for (auto line = lines.rbegin(); line != lines.rend(); ++line) {
    const size_t equals = line->find('=');
    const std::string_view name =
        equals == std::string::npos ? std::string_view() : std::string_view(*line).substr(0, equals);
    if (SameTextAscii(name, upperKey)) {
      *line = upperKey + "=" + value;
      break;
    }
  }
  SaveLines(fileName, lines);
}

}  // namespace trs
