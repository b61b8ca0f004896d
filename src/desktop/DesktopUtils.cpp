// Desktop utilities: application title, message boxes, the counted busy cursor.
#include "desktop/DesktopUtils.h"

#include "desktop/DesktopBackend.h"
#include "platform/Mutex.h"
#include "platform/ProgramFile.h"
#include "platform/Text.h"

namespace trs {

namespace {

TMutex TitleLock;
std::string Title TRS_GUARDED_BY(TitleLock);

// The busy cursor's nesting count and whether the animated cursor has been loaded (once
// loaded it stays for the life of the process). The backend's cursor calls do not wait for
// the main thread, so they may be made under the lock; that keeps the cursor's state in
// step with the count when several threads begin and end.
TMutex BusyLock;
int BusyCount TRS_GUARDED_BY(BusyLock) = 0;
bool AnimatedCursorLoaded TRS_GUARDED_BY(BusyLock) = false;

const char* const BusyCursorFile = "vxBusy.ani";

int ShowBox(const std::string& text, unsigned flags) {
  std::string caption = ApplicationTitle();
  std::string utf8Caption = caption.empty() ? std::string("系统提示") : NarrowToUtf8(caption);
  return Desktop().MessageBox(NarrowToUtf8(text), utf8Caption, MessageBoxOk | flags);
}

}  // namespace

std::string ApplicationTitle() {
  TLockGuard guard(TitleLock);
  return Title;
}

void SetApplicationTitle(std::string title) {
  TLockGuard guard(TitleLock);
  Title = std::move(title);
}

int ShowInfoBox(const std::string& text) { return ShowBox(text, MessageBoxIconInformation); }

int ShowErrorBox(const std::string& text, bool /*forward: no error hook is installed*/) {
  return ShowBox(text, MessageBoxIconError);
}

void ErrorBox(const std::string& text) {
  Desktop().MessageBox(NarrowToUtf8(text), "错误", MessageBoxOk | MessageBoxIconError);
}

void BeginBusyCursor() {
  TLockGuard guard(BusyLock);
  if (BusyCount < 0) BusyCount = 0;
  if (++BusyCount != 1) return;  // an outer begin is still active
  try {
    if (!AnimatedCursorLoaded)
      AnimatedCursorLoaded = Desktop().LoadAnimatedCursor(ProgramDirectory() + BusyCursorFile);
    Desktop().SetScreenCursor(AnimatedCursorLoaded ? TScreenCursor::Animated
                                                   : TScreenCursor::Hourglass);
  } catch (const std::exception&) {
    Desktop().SetScreenCursor(TScreenCursor::Hourglass);
  }
}

void EndBusyCursor() {
  TLockGuard guard(BusyLock);
  // An end without a begin leaves the count negative; the next begin resets it.
  if (BusyCount-- == 1) Desktop().SetScreenCursor(TScreenCursor::Default);
}

int BusyCursorCount() {
  TLockGuard guard(BusyLock);
  return BusyCount;
}

}  // namespace trs
