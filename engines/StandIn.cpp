// The stand-ins' journal, control file and form state.
#include "StandIn.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "dataset/ClientDataSet.h"
#include "platform/ProgramFile.h"
#include "platform/Text.h"
#include "platform/WholeFile.h"

namespace standin {
namespace {

// Calls that keep the form up right now (several may run on different threads).
std::atomic<int> FormsShown{0};

// The program hands engines text in its narrow page. This library has its own copy of the
// text model, so it takes that page from the process once, before it converts anything.
void UseHostPage() {
  static const bool adopted = [] {
    trs::AdoptHostNarrowCodePage();
    return true;
  }();
  (void)adopted;
}

std::string Escape(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 2);
  for (const char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
          out += escaped;
        } else {
          out += c;
        }
    }
  }
  return out;
}

// The journal's file, or null without one.
const char* JournalPath() {
  const char* path = std::getenv("TRS_ENGINE_JOURNAL");
  return path == nullptr || *path == '\0' ? nullptr : path;
}

// The control file's lines; none without TRS_ENGINE_CONTROL.
std::vector<std::string> ReadControlLines() {
  std::vector<std::string> lines;
  const char* path = std::getenv("TRS_ENGINE_CONTROL");
  if (path == nullptr || *path == '\0') return lines;
  std::ifstream file(path);
  for (std::string line; std::getline(file, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
  }
  return lines;
}

// The value of `key` in the control lines: "<engine>.<key>=" wins over "<key>=".
std::optional<std::string> FindControlValue(const std::vector<std::string>& lines, const char* engine,
                                            const std::string& key) {
  const std::string any = key + "=";
  const std::string own = std::string(engine) + "." + any;
  std::optional<std::string> general;
  for (const std::string& line : lines) {
    if (line.rfind(own, 0) == 0) return line.substr(own.size());
    if (!general && line.rfind(any, 0) == 0) general = line.substr(any.size());
  }
  return general;
}

TJson DescribeTable(trs::TClientDataSet& table) {
  std::vector<TJson> fields;
  for (int i = 0; i < table.FieldCount(); ++i) fields.push_back(Json(std::string_view(table.FieldInfo(i).Name)));
  std::vector<TJson> rows;
  for (table.First(); !table.Eof(); table.Next()) {
    std::vector<TJson> cells;
    for (int i = 0; i < table.FieldCount(); ++i)
      cells.push_back(table.FieldIsNull(i) ? TJson("null") : Json(std::string_view(table.FieldAsString(i))));
    rows.push_back(JsonArray(cells));
  }
  return JsonObject({{"fields", JsonArray(fields)}, {"rows", JsonArray(rows)}});
}

}  // namespace

TJson Json(long long number) { return std::to_string(number); }
TJson Json(const char* narrowText) { return narrowText == nullptr ? "null" : Json(std::string_view(narrowText)); }
TJson Json(std::string_view narrowText) {
  UseHostPage();
  return "\"" + Escape(trs::NarrowToUtf8(narrowText)) + "\"";
}

TJson JsonUtf8(std::string_view utf8Text) { return "\"" + Escape(utf8Text) + "\""; }

std::string ProgramText(std::string_view utf8Text) {
  UseHostPage();
  return trs::Utf8ToNarrow(utf8Text);
}

TJson JsonObject(const std::vector<std::pair<std::string, TJson>>& members) {
  std::string out = "{";
  for (const auto& [name, value] : members) {
    if (out.size() > 1) out += ",";
    out += JsonUtf8(name) + ":" + value;
  }
  return out + "}";
}

TJson JsonArray(const std::vector<TJson>& items) {
  std::string out = "[";
  for (const TJson& item : items) {
    if (out.size() > 1) out += ",";
    out += item;
  }
  return out + "]";
}

TJson DescribePacket(std::string_view packet) {
  UseHostPage();
  try {
    trs::TClientDataSet table;
    table.SetData(packet);
    return DescribeTable(table);
  } catch (const std::exception& error) {
    return JsonObject({{"error", Json(error.what())}});
  }
}

TJson DescribeFile(const std::string& path) {
  UseHostPage();
  try {
    trs::TClientDataSet table;
    table.LoadFromFile(path);
    return DescribeTable(table);
  } catch (const std::exception& error) {
    return JsonObject({{"error", Json(error.what())}});
  }
}

std::string OwnDirectory() {
  const std::string directory = trs::ModuleDirectoryOf(reinterpret_cast<const void*>(&OwnDirectory));
  return directory.empty() ? "./" : directory;
}

TCall::TCall(const char* engine, const char* name, std::vector<TJson> args)
    : Engine(engine), Name(name), ControlLines(ReadControlLines()) {
  // The form is up before the call is journalled: a test that has seen the line may poll.
  ShowsForm = Setting("shows_form").value_or("0") == "1";
  if (ShowsForm) ++FormsShown;
  // Without a journal the line is not even made: a poll's calls then cost what a real
  // engine's trivial getters cost, and benchmarks measure the program, not the stand-in.
  // The line goes in a single write, so lines from several threads never interleave.
  if (const char* journal = JournalPath()) {
    const TJson line = JsonObject({{"engine", Json(engine)}, {"call", Json(name)}, {"args", JsonArray(args)}});
    trs::AppendToFile(journal, line + "\n");
  }
  const long delay = std::atol(Setting("delay_ms").value_or("0").c_str());
  if (delay > 0) std::this_thread::sleep_for(std::chrono::milliseconds(delay));
}

std::optional<std::string> TCall::Setting(const char* setting) const {
  if (ControlLines.empty()) return std::nullopt;
  return FindControlValue(ControlLines, Engine, std::string(Name) + "." + setting);
}

TCall::~TCall() {
  if (ShowsForm) --FormsShown;
}

long long TCall::Result(long long fallback) const {
  const std::optional<std::string> value = Setting("result");
  return value ? std::atoll(value->c_str()) : fallback;
}

std::string TCall::TextResult(const std::string& fallback) const { return Setting("result").value_or(fallback); }

std::optional<std::string> ControlValue(const char* engine, const std::string& key) {
  return FindControlValue(ReadControlLines(), engine, key);
}

uint8_t IsFormShown(const char* engine) {
  TCall call(engine, "GetIsShowedForm", {});
  return static_cast<uint8_t>(call.Result(FormsShown.load() > 0 ? 1 : 0) != 0);
}

}  // namespace standin
