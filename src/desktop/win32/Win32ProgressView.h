// The progress window of the Windows program: a borderless, half-transparent, topmost box
// in the middle of the screen with a message, an icon and a bar.
#pragma once

#include <memory>

#include "desktop/DesktopBackend.h"

namespace trs {

class TWin32Desktop;

// The window class of the progress window, by which it can be found.
constexpr const char* ProgressWindowClassName = "TallyReportSrvProgress";

// A view whose window lives on the main thread of `desktop`: it is created there (waiting
// for the main thread) and every later call is queued to it, none waiting, so a driver's
// connection thread never blocks on the desktop. Without a main thread to create it (the
// program is ending) the view shows nothing.
std::unique_ptr<IProgressView> CreateWin32ProgressView(TWin32Desktop& desktop);

}  // namespace trs
