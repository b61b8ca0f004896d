// What the report V11 tests share: the stand-in control's folders, a gate that keeps a
// dialog of the stand-in open until the test lets it close, and the control's journal as
// "Call[args]" lines.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/StandInEngines.h"

namespace trs::test {

// The folder (with its trailing "/") that holds the stand-in control, or one of its
// variants ("quill-no-export", "quill-probe-fails").
inline std::string QuillFolder(const std::string& variant = "") {
  return std::filesystem::path(StandInEngine("QuillHost.ocx", variant)).parent_path().string() + "/";
}

// The control's calls as "Call[args]", without the bookkeeping of creation, interface
// queries and destruction.
inline std::vector<std::string> ControlCalls(const TEngineJournal& journal) {
  std::vector<std::string> calls;
  for (const TEngineCall& call : journal.Calls("QuillHost")) {
    if (call.Call == "CreateReportHostControl" || call.Call == "QueryInterface" || call.Call == "Destroyed") continue;
    calls.push_back(call.Call + call.Args);
  }
  return calls;
}

// How often the journal shows `name`.
inline int CountOf(const TEngineJournal& journal, const std::string& name) {
  int count = 0;
  for (const TEngineCall& call : journal.Calls("QuillHost")) count += call.Call == name ? 1 : 0;
  return count;
}

// A file whose creation closes a dialog of the stand-in ("<Call>.until_file=<Path()>").
class TDialogGate {
 public:
  explicit TDialogGate(const std::string& name)
      : File(std::filesystem::temp_directory_path() /
             ("trs-quill-gate-" + std::to_string(::getpid()) + "-" + name)) {
    std::filesystem::remove(File);
  }
  ~TDialogGate() { std::filesystem::remove(File); }
  std::string Path() const { return File.string(); }
  void Open() const { std::ofstream(File) << "closed\n"; }

 private:
  std::filesystem::path File;
};

}  // namespace trs::test
