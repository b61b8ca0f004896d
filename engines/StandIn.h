// What the stand-in engines share: the journal of calls that tests read, the control file
// through which a test decides what a call answers and how long it takes, and the "form"
// that a call keeps up while it runs.
//
// TRS_ENGINE_JOURNAL names the journal: one JSON object a line,
//   {"engine":"BillKit","call":"PosBillPrint","args":[0,"bill",{"rows":2,...},1,1]}
// TRS_ENGINE_CONTROL names the control file, read afresh at every call; lines key=value:
//   <Call>.result=<value>    what the call answers (a number, or text for text answers)
//   <Call>.delay_ms=<n>      how long the call takes
//   <Call>.shows_form=1      GetIsShowedForm answers 1 while the call runs
//   GetIsShowedForm.result=1 the form counts as shown whatever runs
// A key may be prefixed with the engine's name ("PosKit.GetIsShowedForm.result") to reach
// one engine only. Without the variables there is no journal and every call has its default.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace standin {

// One journal argument, already in JSON. The journal is UTF-8: narrow text, which comes from
// the program in its code page, is converted.
using TJson = std::string;
TJson Json(long long number);
TJson Json(const char* narrowText);  // null gives null
TJson Json(std::string_view narrowText);
// Text the stand-in holds in UTF-8 (what a wide engine was given, converted; control values).
TJson JsonUtf8(std::string_view utf8Text);
TJson JsonObject(const std::vector<std::pair<std::string, TJson>>& members);
TJson JsonArray(const std::vector<TJson>& items);

// A summary of a binary data packet for the journal: its field names and row count, and the
// text of every cell ("rows": [[...], ...]); an unreadable packet gives {"error": "..."}.
TJson DescribePacket(std::string_view packet);
// The same for a dataset file.
TJson DescribeFile(const std::string& path);

// Text the stand-in makes up (a control value, a default of its own, both UTF-8) in the
// program's narrow page, for engines whose interface is narrow text.
std::string ProgramText(std::string_view utf8Text);

// The directory of the stand-in's own file, with a trailing path separator: where it was
// loaded from.
std::string OwnDirectory();

// One call into the engine, from entry to return: journals it, waits its delay and keeps
// the form shown meanwhile when the control says so.
class TCall {
 public:
  TCall(const char* engine, const char* name, std::vector<TJson> args);
  ~TCall();
  TCall(const TCall&) = delete;
  TCall& operator=(const TCall&) = delete;

  // The control's answer for this call, else `fallback`.
  long long Result(long long fallback) const;
  std::string TextResult(const std::string& fallback) const;  // UTF-8, as the control file
  // The control's value for this call's `setting` ("result", "delay_ms", ...), if set.
  std::optional<std::string> Setting(const char* setting) const;

 private:
  const char* Engine;
  const char* Name;
  // The control file as it was when the call came in: read once a call.
  std::vector<std::string> ControlLines;
  bool ShowsForm = false;
};

// A control value that belongs to no single call ("Printers", "Print.fails"):
// "<engine>.<key>=" wins over "<key>=".
std::optional<std::string> ControlValue(const char* engine, const std::string& key);

// The GetIsShowedForm answer of `engine`: the control's, else whether a call that shows the
// form is running.
uint8_t IsFormShown(const char* engine);

}  // namespace standin
