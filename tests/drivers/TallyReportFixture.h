// The report V10 driver as its tests meet it: a product directory with an engine in it, the
// driver with a loader of its own (so every test loads its own copy of the engine), the
// recording desktop (error boxes, the dialog runner's windows and main thread), and the
// journal of the stand-in.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "DriverCalls.h"
#include "desktop/ktShowDialog.h"
#include "drivers/fuTallyReport.h"
#include "support/RecordingDesktop.h"
#include "support/StandInEngines.h"

namespace trs::test {

class TallyReportTest : public testing::Test {
 protected:
  static constexpr auto Patience = std::chrono::seconds(20);

  void SetUp() override {
    PrintBracketOpen = false;
    EngineDialogActive = false;
    Tag(Driver, TProductDirectory::Tag);
  }
  void TearDown() override {
    // A failed check must not leave a dialog open behind it.
    std::ofstream(CloseFile()) << "closed";
    EXPECT_TRUE(WaitForDialogWorkers(Patience));
    Desktop.RunPostedWork();
  }

  // Puts `variant` of the stand-in into the product directory (the main one by default).
  void InstallEngine(const std::string& variant = "") {
    Product.Install(StandInEngine("QPrint.Dll", variant), "QPrint.Dll");
  }
  // The stand-in's objects alive now; 0 while it is not loaded (nothing of it can be alive).
  int LiveObjects() const {
    const std::optional<void*> address = test::LoadedLibraryExport(Product.Path() + "QPrint.Dll", "StandInLiveObjects");
    if (!address) return 0;
    return *address == nullptr ? -1 : reinterpret_cast<int32_t (*)()>(*address)();
  }
  // The stand-in's calls, each as "Name args".
  std::vector<std::string> EngineCalls() const {
    std::vector<std::string> calls;
    for (const TEngineCall& call : Journal.Calls("QPrint")) calls.push_back(call.Call + " " + call.Args);
    return calls;
  }
  std::vector<std::string> EngineCallNames() const {
    std::vector<std::string> calls;
    for (const TEngineCall& call : Journal.Calls("QPrint")) calls.push_back(call.Call);
    return calls;
  }
  // The texts of the error boxes shown so far (client log and style choice alike).
  std::vector<std::string> Boxes() const { return Desktop.CallsStartingWith("MessageBox("); }

  // A file whose appearance closes a dialog the control holds open ("<Call>.until_file").
  std::string CloseFile() const { return Product.Path() + "close-dialog"; }
  // Runs a dialog command and waits until its action has ended and the main thread has had
  // its notice, as after the user closed the dialog.
  void RunDialog(const std::string& command) {
    EXPECT_EQ(Invoke(Driver, command), "0");
    ASSERT_TRUE(WaitForDialogWorkers(Patience));
    Desktop.RunPostedWork();
  }
  // Waits until the stand-in's journal holds a call named `name`.
  bool WaitForCall(const std::string& name) const {
    const auto deadline = std::chrono::steady_clock::now() + Patience;
    while (std::chrono::steady_clock::now() < deadline) {
      for (const TEngineCall& call : Journal.Calls("QPrint"))
        if (call.Call == name) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
  }

  TRecordingDesktop Desktop;
  TProductDirectory Product{"qprint"};
  TEngineJournal Journal;
  TQPrintLoader Loader;
  TTallyReport Driver{Loader};
};

}  // namespace trs::test
