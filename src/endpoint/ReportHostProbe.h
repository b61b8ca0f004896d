// The start-up probe of the report host control: is the control there, and can it be
// called?
#pragma once

#include <string>

namespace trs {

// What the probe found.
struct TReportHostProbe {
  bool Usable = false;
  // Controls created (or tried): 1, or 2 when the first attempt failed while the file is
  // there.
  int Attempts = 0;
  // The error of the last attempt; empty when usable.
  std::string Error;
};

// Creates a control from "QuillHost.ocx" in `directory`, calls its Probe and drops it. When
// that fails and the file is there, it tries once more (there is no registration step on
// this platform). A failure never stops start-up: it is written to the log, and the V11
// requests later get the creation error themselves.
TReportHostProbe ProbeReportHost(const std::string& directory);

}  // namespace trs
