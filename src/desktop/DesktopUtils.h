// Small desktop services shared by the rest of the program: the application title, the
// three message boxes, and the counted busy cursor.
#pragma once

#include <string>

namespace trs {

// The application title shown as the caption of the information and error boxes
// ("TallyReportSever" once the shell has started; empty before).
std::string ApplicationTitle();
void SetApplicationTitle(std::string title);

// Message boxes owned by the foreground window, with the OK button; they return the
// button that closed them (MessageBoxResultOk). Texts are narrow text. The caption is the
// application title, or "系统提示" when the title is empty.
int ShowInfoBox(const std::string& text);
// `forward` would hand the text to an error hook; the program installs none.
int ShowErrorBox(const std::string& text, bool forward);
// Caption "错误", error icon.
void ErrorBox(const std::string& text);

// The counted busy cursor: shown from the first begin to the end that brings the count back
// to 0. Uses "vxBusy.ani" from the program directory when it loads, else the hourglass.
void BeginBusyCursor();
void EndBusyCursor();
// The current nesting count (for tests and diagnostics).
int BusyCursorCount();

}  // namespace trs
