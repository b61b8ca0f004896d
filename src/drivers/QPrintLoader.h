// The loader of the report V10 engine, QPrint.Dll: it loads the library from the engine
// directory on first use, keeps it loaded, and creates engine reports through its export
// CreateReport.
#pragma once

#include <atomic>
#include <optional>
#include <string>

#include "drivers/EngineLibrary.h"
#include "engineabi/QPrint.h"
#include "platform/Mutex.h"
#include "platform/OleHolders.h"

namespace trs {

// A failed load is tried again at the next call; a successful one is kept, and later
// changes of the directory no longer matter. Safe to call from any thread: request threads
// and dialog workers reach it alike.
class TQPrintLoader {
 public:
  TQPrintLoader() = default;
  TQPrintLoader(const TQPrintLoader&) = delete;
  TQPrintLoader& operator=(const TQPrintLoader&) = delete;

  // The directory the library is loaded from, with its trailing delimiter; the driver sets
  // it right before every CreateReport.
  void SetLibraryDirectory(std::string directory) TRS_EXCLUDES(Lock);

  // The entry point of the export `name`, loading the library first when needed. Errors
  // (EEngineError): "无法加载 QPrint.Dll，<the system's reason>" when the library cannot be
  // loaded, "QPrint.Dll 无法获取 <name> 方法入口" when it lacks the export.
  template <typename Signature>
  Signature* GetEngineProc(const char* name) TRS_EXCLUDES(Lock) {
    return reinterpret_cast<Signature*>(EngineSymbol(name));
  }

  // A new engine report, counted for the caller. An export that stores no report fails
  // with EEngineError rather than handing the driver an empty reference.
  TComPtr<IzrReport> CreateReport() TRS_EXCLUDES(Lock);

 private:
  void* EngineSymbol(const char* name) TRS_EXCLUDES(Lock);

  TMutex Lock;
  std::string Directory TRS_GUARDED_BY(Lock);
  std::optional<TEngineLibrary> Library TRS_GUARDED_BY(Lock);
  // Found once: the library stays loaded, and every IsPrinting poll creates a report.
  std::atomic<QPrint::CreateReportFn*> Create{nullptr};
};

// The loader the program's V10 driver uses: one for the process, never unloaded.
TQPrintLoader& ReportEngineLoader();

}  // namespace trs
