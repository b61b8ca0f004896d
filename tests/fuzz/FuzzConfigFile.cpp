// Fuzz target: CONFIG.CFG with arbitrary content. The reader's value stays within the line
// limit; adding a key happens once; the writers always leave whole CR LF lines, and
// SetConfigIn changes only the last line named by the key.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/Text.h"
#include "shell/ConfigFile.h"

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// Lines as any editor sees them: ended by CR LF, LF or CR; a last line may lack its ending.
std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines(1);
  bool open = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      lines.emplace_back();
      open = false;
    } else {
      lines.back() += c;
      open = true;
    }
  }
  if (!open) lines.pop_back();
  return lines;
}

// What the writers produce: nothing, or lines each ended by CR LF with no CR or LF elsewhere.
bool WholeCrLfLines(const std::string& text) {
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n')) return false;
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) return false;
  }
  return text.empty() || (text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0);
}

std::string UpperAscii(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

const std::string& FilePath() {
  static const std::string path =
      (std::filesystem::temp_directory_path() / ("fuzz_config_file." + std::to_string(::getpid()) + ".cfg")).string();
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const char* const keys[] = {"PORT", "port", "End", "", "A=B", "p"};
  if (size == 0) return 0;
  // Byte 0 picks the key, byte 1 the value's length; the rest is the file's content, and
  // the value is taken from its start, without line breaks (those would make more lines).
  const std::string key = keys[data[0] % (sizeof keys / sizeof keys[0])];
  const size_t valueLength = size > 1 ? data[1] % 8 : 0;
  const std::string content = size > 2 ? std::string(reinterpret_cast<const char*>(data) + 2, size - 2) : "";
  std::string value = content.substr(0, valueLength);
  for (char& c : value)
    if (c == '\r' || c == '\n') c = '_';
  const std::string& path = FilePath();

  WriteFile(path, content);
  const std::string got = trs::GetConfig(key, path);
  if (got.size() > trs::ConfigLineTextLimit) std::abort();
  if (!got.empty() && static_cast<unsigned char>(got.back()) <= 32) std::abort();
  if (got.find('\n') != std::string::npos) std::abort();
  const std::string afterGet = ReadFile(path);
  if (afterGet != content) {
    // The key was added: every line carried, the first END gone, "KEY=" and END at the end.
    if (!got.empty() || !WholeCrLfLines(afterGet)) std::abort();
    std::vector<std::string> expected = SplitLines(content);
    for (auto line = expected.begin(); line != expected.end(); ++line)
      if (trs::SameTextAscii(*line, "END")) {
        expected.erase(line);
        break;
      }
    expected.push_back(UpperAscii(key) + "=");
    expected.push_back("END");
    if (SplitLines(afterGet) != expected) std::abort();
    // Now the key is there: a second read adds nothing.
    trs::GetConfig(key, path);
    if (ReadFile(path) != afterGet) std::abort();
  }

  WriteFile(path, content);
  trs::SetConfigIn(path, key, value);
  const std::string afterSet = ReadFile(path);
  if (!WholeCrLfLines(afterSet)) std::abort();
  // The last line whose whole name is the key gets the new value; nothing else changes.
  std::vector<std::string> expected = SplitLines(content);
  for (auto line = expected.rbegin(); line != expected.rend(); ++line) {
    const size_t equals = line->find('=');
    if (equals != std::string::npos ? trs::SameTextAscii(line->substr(0, equals), key) : key.empty()) {
      *line = UpperAscii(key) + "=" + value;
      break;
    }
  }
  if (SplitLines(afterSet) != expected) std::abort();

  std::filesystem::remove(path);
  return 0;
}
