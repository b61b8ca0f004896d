// The report V11 driver under several threads at once, as the endpoint calls it: pages
// polling a dialog that is open, and queries and template commands from several request
// threads while a run's worker calls the control. Run under the TSan build.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "DriverCalls.h"
#include "QuillTestSupport.h"
#include "drivers/fuQuillReport.h"
#include "support/RecordingDesktop.h"

namespace trs::test {
namespace {

TEST(QuillConcurrencyTest, PollsAndQueriesFromSeveralThreadsWhileADialogIsOpen) {
  TRecordingDesktop desktop;
  TEngineJournal journal;
  TDialogGate gate("concurrency");
  journal.Control("Print.until_file=" + gate.Path() + "\n");
  TQuillReport driver(QuillFolder());
  Invoke(driver, "CreateTemplate", "T,0");
  Invoke(driver, "AddTemplatePage");
  Invoke(driver, "AddTemplateTable", "0");

  // The request that starts the print answers while the dialog is still up.
  EXPECT_NE(Invoke(driver, "Print"), "0");
  for (int i = 0; i < 1000 && CountOf(journal, "Print") == 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_EQ(CountOf(journal, "Print"), 1);

  constexpr int Pollers = 3;
  constexpr int Builders = 3;
  constexpr int RowsEach = 20;
  std::atomic<int> pollsWhileOpen{0};
  std::atomic<bool> stop{false};
  std::vector<std::thread> threads;
  for (int p = 0; p < Pollers; ++p)
    threads.emplace_back([&] {
      while (!stop) {
        const std::string printing = Property(driver, "IsPrinting");
        const std::string ended = Property(driver, "EndShowDialog");
        EXPECT_TRUE(printing == "0" || printing == "1");
        EXPECT_TRUE(ended == "0" || ended == "1");
        if (printing == "1") ++pollsWhileOpen;
      }
    });
  std::vector<std::vector<std::string>> rows(Builders);
  for (int b = 0; b < Builders; ++b)
    threads.emplace_back([&, b] {
      for (int r = 0; r < RowsEach; ++r) {
        rows[static_cast<size_t>(b)].push_back(Invoke(driver, "AddTemplateTableRow", "0,0"));
        EXPECT_EQ(Property(driver, "StyleNames"), "标准报表");
      }
    });
  for (int b = 0; b < Builders; ++b) threads[static_cast<size_t>(Pollers + b)].join();
  // All of that happened with the dialog open.
  EXPECT_EQ(Property(driver, "IsPrinting"), "1");
  EXPECT_EQ(Property(driver, "EndShowDialog"), "0");
  for (int i = 0; i < 1000 && pollsWhileOpen == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  gate.Open();
  ASSERT_TRUE(WaitForDialogWorkers(std::chrono::seconds(10)));
  desktop.RunPostedWork();
  stop = true;
  for (int p = 0; p < Pollers; ++p) threads[static_cast<size_t>(p)].join();

  EXPECT_GT(pollsWhileOpen.load(), 0);
  EXPECT_EQ(Property(driver, "EndShowDialog"), "1");
  EXPECT_EQ(Property(driver, "IsPrinting"), "0");
  // Serialised calls: every row got its own number.
  std::vector<bool> seen(Builders * RowsEach, false);
  for (const auto& answers : rows)
    for (const std::string& answer : answers) {
      const int row = std::stoi(answer);
      ASSERT_TRUE(row >= 0 && row < Builders * RowsEach) << answer;
      EXPECT_FALSE(seen[static_cast<size_t>(row)]) << "row " << row << " twice";
      seen[static_cast<size_t>(row)] = true;
    }
}

TEST(QuillConcurrencyTest, TwoRunsAtOnceEachEndAndTheFirstDriverRequestCreatesTheControlOnce) {
  TRecordingDesktop desktop;
  TEngineJournal journal;
  journal.Control("Design.delay_ms=50\nPreview.delay_ms=50\n");
  {
    TQuillReport driver(QuillFolder());
    // The runs' workers and a request thread race to create the control.
    std::thread request([&] { Property(driver, "Version"); });
    Invoke(driver, "Design");
    Invoke(driver, "Preview");
    request.join();
    ASSERT_TRUE(WaitForDialogWorkers(std::chrono::seconds(10)));
    desktop.RunPostedWork();
    EXPECT_EQ(Property(driver, "EndShowDialog"), "1");
    EXPECT_EQ(CountOf(journal, "CreateReportHostControl"), 1);
  }
  EXPECT_EQ(CountOf(journal, "Destroyed"), 1);
}

}  // namespace
}  // namespace trs::test
