// The common shape of the drivers that wrap a library with plain C exports (barcode, bill,
// POS): the library is loaded on first use from the product directory and stays loaded
// until the driver ends; a library that cannot be loaded makes every method answer the
// empty text without running anything, not even the staging commands.
#pragma once

#include <atomic>
#include <memory>
#include <optional>
#include <string>

#include "drivers/EngineLibrary.h"
#include "drivers/fuReportBase.h"

namespace trs {

// TKit is the loaded library with its resolved entry points: constructed from the library,
// it resolves the exports (each possibly absent) and keeps them unchanged from then on. It
// has a member `Library` (TEngineLibrary) and an entry `GetIsShowedForm` (possibly null).
//
// Threads: the kit is built under the CallLock and published once; IsPrinting and the
// version of a loaded library read the published kit without the lock, so a page's polling
// is answered while a library call (a form kept up inside a print) still holds the lock.
template <typename TKit>
class TLibraryDriver : public TReportBase {
 public:
  // Method step by step: make sure the library is loaded (else the empty text); the base's
  // staging commands; then the driver's own commands when the base answered "-1".
  WideString InvokeMethod(const std::string& name, const std::string& args) override
      TRS_REQUIRES(CallLock) {
    const TKit* kit = EnsureLoaded();
    if (kit == nullptr) return WideString();
    WideString answer = TReportBase::InvokeMethod(name, args);
    if (answer != u"-1") return answer;
    return RunCommand(*kit, LowerAscii(name), args);
  }

  // The libraries have no properties to set.
  void SetProperty(const std::string&, const std::string&) override TRS_REQUIRES(CallLock) {}

  WideString GetProperty(const std::string& name) override TRS_REQUIRES(CallLock) {
    if (std::optional<WideString> answer = GetPropertyWithoutWaiting(name)) return *answer;
    if (SameTextAscii(name, "version")) {
      const TKit* kit = EnsureLoaded();
      return kit == nullptr ? WideString() : NarrowToWide(kit->Library.VersionText());
    }
    return u"-1";
  }

  // "IsPrinting" (asking does not load the library) and "version" of a loaded library.
  std::optional<WideString> GetPropertyWithoutWaiting(const std::string& name) const override {
    const TKit* kit = PublishedKit.load(std::memory_order_acquire);
    if (SameTextAscii(name, "isprinting")) {
      const bool formShown = kit != nullptr && kit->GetIsShowedForm != nullptr && kit->GetIsShowedForm() != 0;
      return (PrintBracketOpen || formShown) ? u"1" : u"0";
    }
    if (SameTextAscii(name, "version") && kit != nullptr) return NarrowToWide(kit->Library.VersionText());
    return std::nullopt;
  }

 protected:
  explicit TLibraryDriver(const char* fileName) : FileName(fileName) {}

  // Runs one of the driver's own commands (lower-cased name) on the loaded library.
  virtual WideString RunCommand(const TKit& kit, const std::string& name, const std::string& args)
      TRS_REQUIRES(CallLock) = 0;

  // The loaded library, loading it now from the current product directory when needed;
  // nullptr when it cannot be loaded (the next call tries again).
  const TKit* EnsureLoaded() TRS_REQUIRES(CallLock) {
    if (!Kit) {
      try {
        Kit = std::make_unique<const TKit>(TEngineLibrary::Load(GetProductPath(), FileName));
      } catch (const EEngineError& error) {
        NoteLoadFailure(error.GetMessage());
        return nullptr;
      }
      PublishedKit.store(Kit.get(), std::memory_order_release);
    }
    return Kit.get();
  }

 private:
  // Logs why the library could not be loaded, once for each new reason (pages retry often).
  void NoteLoadFailure(const std::string& reason) TRS_REQUIRES(CallLock) {
    if (reason == LastLoadFailure) return;
    LastLoadFailure = reason;
    LogEngineLoadFailure(FileName, reason);
  }

  const char* const FileName;
  std::unique_ptr<const TKit> Kit TRS_GUARDED_BY(CallLock);
  std::atomic<const TKit*> PublishedKit{nullptr};
  std::string LastLoadFailure TRS_GUARDED_BY(CallLock);
};

}  // namespace trs
