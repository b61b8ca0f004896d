// The start-up probe of the report host control.
#include "endpoint/ReportHostProbe.h"

#include <exception>

#include "desktop/LogLine.h"
#include "drivers/QuillHost_TLB.h"
#include "platform/FileNames.h"

namespace trs {
namespace {

// One attempt: the error's text, or nothing when the control answered.
std::string TryProbe(const std::string& directory) {
  try {
    TReportHost::Create(directory)->Probe();
    return {};
  } catch (const std::exception& error) {
    const std::string text = error.what();
    return text.empty() ? "unknown error" : text;
  }
}

}  // namespace

TReportHostProbe ProbeReportHost(const std::string& directory) {
  TReportHostProbe probe;
  probe.Attempts = 1;
  probe.Error = TryProbe(directory);
  if (probe.Error.empty()) {
    probe.Usable = true;
    return probe;
  }
  if (!FileExists(ResolveFileNameIgnoringCase(directory + QuillHost::FileName))) {
    LogLine(std::string(QuillHost::FileName) + " is not installed; ReportV11 requests will fail: " + probe.Error);
    return probe;
  }
  probe.Attempts = 2;
  probe.Error = TryProbe(directory);
  probe.Usable = probe.Error.empty();
  if (!probe.Usable)
    LogLine(std::string(QuillHost::FileName) + " cannot be used; ReportV11 requests will fail: " + probe.Error);
  return probe;
}

}  // namespace trs
