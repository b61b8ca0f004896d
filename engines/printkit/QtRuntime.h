// The Qt the engines draw with is the program's: its application object, on its main
// thread. A host without one (the service started without a desktop) gets an offscreen
// application on a thread of the kit's own, kept until the process ends, so PDF output
// with fonts works everywhere; windows need a display and the host's own application.
#pragma once

#include <functional>

namespace printkit {

// Makes sure a Qt GUI application object exists; call before drawing text.
void EnsureGuiApplication();

// Whether windows can be shown: the host's application is a widget application on a real
// display (not the offscreen platform).
bool CanShowWindows();

// Runs `work` on the application's thread and waits until it is done (at once when called
// there). Widgets are made, shown and closed only this way.
void RunOnGuiThread(const std::function<void()>& work);

}  // namespace printkit
