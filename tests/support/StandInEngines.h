// The stand-in engines as tests use them: where they are built, a product directory that
// holds copies of them, and the journal of the calls they received.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "support/TestOs.h"

namespace trs::test {

// A stand-in's file: the main one, or a variant by its folder ("barcode-1.8.7.2000",
// "bill-single-table", ... under build/engines/). The main stand-ins of the engines that
// have a real one beside the program are kept in build/engines/standin/; the report
// engines' stand-ins are the ones beside the program (build/QPrint.Dll, ...).
std::string StandInEngine(const std::string& fileName, const std::string& variant = "");

// A product directory of its own (with data/) registered in the product registry under
// `Tag` (see TTestProductRegistry) while the object lives; one at a time.
class TProductDirectory {
 public:
  static constexpr char Tag[] = "TestProduct";

  explicit TProductDirectory(const std::string& name);
  ~TProductDirectory();
  TProductDirectory(const TProductDirectory&) = delete;
  TProductDirectory& operator=(const TProductDirectory&) = delete;

  // The directory with its trailing separator, as the drivers' product path holds it.
  std::string Path() const;
  std::filesystem::path DataFile(const std::string& name) const;
  // Copies an engine file into the directory under `fileName`.
  void Install(const std::string& source, const std::string& fileName) const;
  // Registers another tag in the same registry, for as long as this object lives.
  void Register(const std::string& tag, const std::string& directory) const;

 private:
  std::filesystem::path Root;
  std::unique_ptr<TTestProductRegistry> Registry;
};

// `text` as a JSON string, quotes included, as the journal writes it (paths on Windows have
// backslashes to escape).
std::string JsonString(const std::string& text);

// One journal line: the engine, the call and its arguments as the JSON array text.
struct TEngineCall {
  std::string Engine;
  std::string Call;
  std::string Args;
};

// The journal the stand-ins write (TRS_ENGINE_JOURNAL) and the control file they read
// (TRS_ENGINE_CONTROL), in a temporary folder; set for the test process while the object
// lives, or handed to a program under test through Environment().
class TEngineJournal {
 public:
  explicit TEngineJournal(bool setForThisProcess = true);
  ~TEngineJournal();
  TEngineJournal(const TEngineJournal&) = delete;
  TEngineJournal& operator=(const TEngineJournal&) = delete;

  // The calls so far, in order; only those of `engine` when given. GetIsShowedForm (which
  // every IsPrinting poll asks) is left out unless `withFormQueries`.
  std::vector<TEngineCall> Calls(const std::string& engine = "", bool withFormQueries = false) const;
  void Clear() const;
  // Replaces the control file's lines ("PrintBarOutEx.result=0", ...).
  void Control(const std::string& lines) const;
  std::vector<std::pair<std::string, std::string>> Environment() const;

 private:
  std::filesystem::path Folder;
  bool SetForProcess;
};

}  // namespace trs::test
