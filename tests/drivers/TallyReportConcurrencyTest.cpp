// The report V10 driver polled from several threads while a dialog action holds the engine's
// window open, with a report built beside it: run in the TSan build.
#include <atomic>
#include <thread>

#include "TallyReportFixture.h"

namespace trs::test {
namespace {

TEST_F(TallyReportTest, PollingFromSeveralThreadsDuringADialog) {
  InstallEngine();
  // A browser window in front: the runner gives it back and notes the end on the worker.
  Desktop.AddWindow(7);
  Desktop.SetForeground(7);
  Journal.Control("Print.until_file=" + CloseFile() + "\n");
  ASSERT_EQ(Invoke(Driver, "print"), "0");
  ASSERT_TRUE(WaitForCall("Print"));

  constexpr int Pollers = 4;
  constexpr int PollsWhileOpen = 25;
  const char* const queries[Pollers] = {"isprinting", "endshowdialog", "templatename", "printtimes"};
  std::atomic<int> pollsDone{0};
  std::atomic<bool> dialogClosed{false};
  std::atomic<int> wrongWhileOpen{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < Pollers; ++t) {
    threads.emplace_back([&, query = std::string(queries[t])] {
      for (int i = 0; i < PollsWhileOpen; ++i) {
        const std::string answer = Property(Driver, query);
        if ((query == "isprinting" && answer != "1") || (query == "endshowdialog" && answer != "0")) ++wrongWhileOpen;
      }
      ++pollsDone;
      // Then on until the page would learn that the dialog has closed.
      while (!dialogClosed) Property(Driver, query);
    });
  }
  // A page building a report meanwhile, on the same driver.
  threads.emplace_back([&] {
    while (pollsDone < Pollers) {
      Invoke(Driver, "createreport", "Sales,0");
      Invoke(Driver, "addline", "1");
      Invoke(Driver, "addcell", "x,0,0,0,0,0,0,0,0,0,0,0,0,0,0");
      Invoke(Driver, "endline");
      Invoke(Driver, "endreport");
    }
  });
  while (pollsDone < Pollers) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_EQ(wrongWhileOpen, 0);

  std::ofstream(CloseFile()) << "closed";
  const auto deadline = std::chrono::steady_clock::now() + Patience;
  while (Property(Driver, "endshowdialog") != "1" && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  dialogClosed = true;
  for (std::thread& thread : threads) thread.join();

  EXPECT_EQ(Property(Driver, "endshowdialog"), "1");
  ASSERT_TRUE(WaitForDialogWorkers(Patience));
  EXPECT_EQ(Property(Driver, "isprinting"), "0");
  EXPECT_EQ(Invoke(Driver, "endreport"), "0");
  EXPECT_EQ(LiveObjects(), 0);
  EXPECT_TRUE(Boxes().empty());
}

}  // namespace
}  // namespace trs::test
