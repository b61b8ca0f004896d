// Loading QPrint.Dll and creating engine reports.
#include "drivers/QPrintLoader.h"

#include "platform/Text.h"

namespace trs {

void TQPrintLoader::SetLibraryDirectory(std::string directory) {
  TLockGuard guard(Lock);
  Directory = std::move(directory);
}

void* TQPrintLoader::EngineSymbol(const char* name) {
  TLockGuard guard(Lock);
  if (!Library) {
    try {
      // The directory is used as the prefix it is: no delimiter is added.
      Library.emplace(TEngineLibrary::Load(Directory, QPrint::FileName));
    } catch (const EEngineError& error) {
      throw EEngineError(Utf8ToNarrow("无法加载 ") + QPrint::FileName + Utf8ToNarrow("，") + error.GetMessage());
    }
  }
  void* entry = Library->Optional<void>(name);
  if (entry == nullptr)
    throw EEngineError(std::string(QPrint::FileName) + Utf8ToNarrow(" 无法获取 ") + name + Utf8ToNarrow(" 方法入口"));
  return entry;
}

TComPtr<IzrReport> TQPrintLoader::CreateReport() {
  QPrint::CreateReportFn* create = Create.load();
  if (create == nullptr) {
    create = GetEngineProc<QPrint::CreateReportFn>(QPrint::CreateReportName);
    Create.store(create);
  }
  TComPtr<IzrReport> report;
  create(report.Receive());
  if (!report) throw EEngineError(std::string(QPrint::FileName) + " CreateReport gave no report");
  return report;
}

TQPrintLoader& ReportEngineLoader() {
  static TQPrintLoader* const loader = new TQPrintLoader;  // outlives every driver and worker
  return *loader;
}

}  // namespace trs
