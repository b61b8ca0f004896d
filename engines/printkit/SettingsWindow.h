// The printing settings window (PosKit's ShowPosCfg): one page per section of
// printing.ini, in the file's order (receipt, labels, display with the shipped defaults),
// each key an editable line; "保存" writes the user's file, "关闭" closes. Pages are
// numbered from 0; a hidden page stays hidden, also across showings, until ShowAllPages.
// Without a display the window cannot be shown: that is logged and nothing else happens.
#pragma once

#include <atomic>
#include <set>

#include "platform/Mutex.h"

class QWidget;

namespace printkit {

class TPrintSettingsEditor;

class TSettingsWindow {
 public:
  // Opens the window (or raises it when open) on the application's thread; returns at once.
  void Show();
  void HidePage(int page);
  void ShowAllPages();
  bool IsShown() const { return Shown.load(); }

 private:
  void ApplyHiddenPages();

  trs::TMutex Lock;
  std::set<int> HiddenPages TRS_GUARDED_BY(Lock);
  // Lives on the application's thread; set and cleared there only.
  QWidget* Window = nullptr;
  std::atomic<bool> Shown{false};
};

TSettingsWindow& SettingsWindow();

// The editor itself, for the window and for tests: builds its pages from the merged
// settings and saves what was edited into the user's file.
QWidget* NewSettingsEditor(QWidget* parent = nullptr);
// Which pages of an editor made by NewSettingsEditor are visible (for HidePage).
void SetPageVisible(QWidget* editor, int page, bool visible);

}  // namespace printkit
