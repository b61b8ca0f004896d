// How often each bill document has been printed, and the print limit, kept in
// bill-prints.ini in the user's data folder so that both survive a restart:
//   [limit] enabled=0|1  times=N      (N <= 0: no limit)
//   [counts] <document>=<prints>
// A document is the layout name with a digest of its head table: reprinting the same bill
// counts up, another bill under the same layout starts at 0.
#pragma once

#include <string>

#include "platform/Mutex.h"

namespace printkit {

class TPrintCounts {
 public:
  explicit TPrintCounts(std::string path) : Path(std::move(path)) {}

  void SetLimitEnabled(bool enabled);
  void SetLimitTimes(int times);

  // Whether `document` may be printed once more; remembers it as the current document.
  bool MayPrint(const std::string& document);
  // Counts one print of `document`.
  void CountPrint(const std::string& document);
  // The prints of the current document (0 before any).
  int CurrentCount();

 private:
  trs::TMutex Lock;
  const std::string Path;
  std::string Current TRS_GUARDED_BY(Lock);
};

// The document's key: the name and a digest of the head table's content.
std::string DocumentKey(const std::string& name, const std::string& headContent);

}  // namespace printkit
