// A real engine as the program loads it: a copy in a product directory of its own (with
// the shipped printing.ini beside it and data/ for bill files), its own settings file and
// data folder (TALLYREPORTSRV_PRINTING_INI, XDG_DATA_HOME), and its exports by name.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/DynamicLibrary.h"
#include "support/StandInEngines.h"

namespace trs::test {

class TRealEngine {
 public:
  // `dataHome`: the XDG_DATA_HOME to use, when it must outlive this copy (a restart).
  TRealEngine(const std::string& fileName, const std::string& settings, const std::string& dataHome = "")
      : Product("real-" + fileName) {
    Product.Install(std::string(TRS_REAL_ENGINE_DIR) + "/" + fileName, fileName);
    Product.Install(std::string(TRS_REAL_ENGINE_DIR) + "/printing.ini", "printing.ini");
    const std::filesystem::path root = std::filesystem::path(Product.Path()).parent_path().parent_path();
    std::filesystem::create_directories(root / "config");
    std::ofstream(root / "config/printing.ini") << settings;
    setenv("TALLYREPORTSRV_PRINTING_INI", (root / "config/printing.ini").c_str(), 1);
    DataHome = dataHome.empty() ? (root / "share").string() : dataHome;
    setenv("XDG_DATA_HOME", DataHome.c_str(), 1);
    Library = TDynamicLibrary::Load(Product.Path() + fileName);
  }
  ~TRealEngine() {
    unsetenv("TALLYREPORTSRV_PRINTING_INI");
    unsetenv("XDG_DATA_HOME");
  }

  template <typename Signature>
  Signature* Export(const char* name) const {
    Signature* entry = Library.Entry<Signature>(name);
    if (entry == nullptr) throw std::runtime_error(std::string("no export ") + name);
    return entry;
  }
  // The user's data folder of this engine: Tally/Quill/ under its XDG_DATA_HOME.
  std::filesystem::path DataFolder() const { return std::filesystem::path(DataHome) / "Tally/Quill"; }
  // Where the settings file is, and the style and layout files it names.
  std::filesystem::path ConfigFolder() const {
    return std::filesystem::path(Product.Path()).parent_path().parent_path() / "config";
  }

  TProductDirectory Product;

 private:
  std::string DataHome;
  TDynamicLibrary Library;
};

}  // namespace trs::test
