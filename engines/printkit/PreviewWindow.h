// The receipt preview (BillKit): the receipt as it will print, in the printer's columns,
// with "打印" (print, then close) and "关闭". Shown without waiting; while one is open
// IsShown() is true.
#pragma once

#include <atomic>
#include <functional>
#include <string>

#include "Receipt.h"

namespace printkit {

class TPreviewWindows {
 public:
  // False when there is no display to show it on (nothing shown then). `print` runs on
  // the application's thread when the user presses "打印"; null: a preview only.
  bool Show(const std::string& title, const TReceipt& receipt, std::function<void()> print);
  bool IsShown() const { return Open.load() > 0; }

 private:
  std::atomic<int> Open{0};
};

TPreviewWindows& PreviewWindows();

// The lines of a receipt as plain text (what the preview shows).
std::string ReceiptText(const TReceipt& receipt);

}  // namespace printkit
