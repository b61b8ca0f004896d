// The dialog runner and its worker thread, against the recording desktop: which window steps
// run on which thread and in what order, failures, and how long runners live.
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "desktop/ktShowDialog.h"
#include "platform/Mutex.h"
#include "support/RecordingDesktop.h"

namespace trs {
namespace {

using test::TRecordingDesktop;
using namespace std::chrono_literals;

// The bound of every wait: long enough never to be reached when things work.
constexpr auto Patience = 10s;

// A gate that opens once; waiting is bounded, and an unopened gate fails the test.
class TGate {
 public:
  void Open() {
    {
      TLockGuard guard(Lock);
      IsOpen = true;
    }
    Opened.NotifyAll();
  }
  bool Wait() {
    TLockGuard guard(Lock);
    return Opened.WaitFor(Lock, Patience, [this]() TRS_REQUIRES(Lock) { return IsOpen; });
  }

 private:
  TMutex Lock;
  TConditionVariable Opened;
  bool IsOpen TRS_GUARDED_BY(Lock) = false;
};

// A runner whose "engine dialog" stays open until the test closes it. It records its steps
// into the desktop's log, so they appear among the window calls with their threads.
class TTestDialog : public TktIEShowDialog {
 public:
  TTestDialog(TRecordingDesktop& desktop, bool actionFails)
      : Fake(desktop), ActionFails(actionFails) {}

  TGate ActionStarted;  // opened by the worker when the dialog is up
  TGate CloseDialog;    // opened by the test to close it

  TWindowHandle Host() const { return HostWnd; }
  std::exception_ptr WorkerError() const {
    TLockGuard guard(WorkerLock);
    return Worker ? Worker->FatalException() : nullptr;
  }

 protected:
  void DoShow() override {
    Fake.Record("DoShow");
    RunEngineAction(
        [this] {
          ActionStarted.Open();
          EXPECT_TRUE(CloseDialog.Wait());
          if (ActionFails) throw std::runtime_error("engine failed");
        },
        [this] { Fake.Record("AfterAction"); });
  }
  void DoAfterShow() override { Fake.Record("DoAfterShow"); }

 private:
  TRecordingDesktop& Fake;
  const bool ActionFails;
};

class DialogRunnerTest : public testing::Test {
 protected:
  void SetUp() override { EngineDialogActive = false; }

  // A failed check must not leave a worker waiting on its dialog: close them all, wait for
  // the workers, then run what they posted, so none outlives the fake.
  void TearDown() override {
    for (const std::weak_ptr<TTestDialog>& weak : Made)
      if (std::shared_ptr<TTestDialog> dialog = weak.lock()) dialog->CloseDialog.Open();
    EXPECT_TRUE(WaitForDialogWorkers(Patience));
    Fake.RunPostedWork();
    FailWorkerCreationsForTests(0);
  }

  std::shared_ptr<TTestDialog> MakeDialog(bool actionFails = false) {
    auto dialog = std::make_shared<TTestDialog>(Fake, actionFails);
    Made.push_back(dialog);
    return dialog;
  }

  // The log so far, each call marked with its thread: "main" (the test's thread, which
  // plays the main thread), or w1, w2... for the other threads in order of appearance.
  std::vector<std::string> Trace() const {
    const std::vector<std::string> calls = Fake.Calls();
    const std::vector<std::thread::id> threads = Fake.CallThreads();
    std::map<std::thread::id, std::string> names{{std::this_thread::get_id(), "main"}};
    std::vector<std::string> trace;
    for (size_t i = 0; i < calls.size(); ++i) {
      auto found = names.find(threads[i]);
      if (found == names.end())
        found = names.emplace(threads[i], "w" + std::to_string(names.size())).first;
      trace.push_back(calls[i] + "@" + found->second);
    }
    return trace;
  }

  TRecordingDesktop Fake;
  std::vector<std::weak_ptr<TTestDialog>> Made;
};

using Steps = std::vector<std::string>;

// The browser window (7) is disabled by the caller; everything else up to the notice happens
// on the worker; the notice runs DoAfterShow again on the main thread.
const Steps FullRun = {
    "ForegroundWindow@main",     "ActiveWindowOfCallingThread@main",
    "EnableWindow(7,0)@main",    "DoShow@w1",
    "IsWindow(7)@w1",            "SetForegroundWindow(7)@w1",
    "AfterAction@w1",            "IsWindow(7)@w1",
    "EnableWindow(7,1)@w1",      "RaiseToTop(7)@w1",
    "SetForegroundWindow(7)@w1", "SetActiveWindow(7)@w1",
    "DoAfterShow@w1",            "PostToMainThread@w1",
    "DoAfterShow@main",
};

struct TRunCase {
  const char* Name;
  TWindowHandle Foreground;
  TWindowHandle ActiveOfCaller;
  bool CloseHostWhileOpen;
  bool ActionFails;
  TWindowHandle ExpectedHost;
  Steps Expected;
};

TEST_F(DialogRunnerTest, RunsTheWindowStepsInOrderOnTheRightThreads) {
  const TRunCase cases[] = {
      {"browser in front", 7, 0, false, false, 7, FullRun},
      {"no foreground window", 0, 0, false, false, 0,
       {"ForegroundWindow@main", "DoShow@w1", "AfterAction@w1", "PostToMainThread@w1",
        "DoAfterShow@main"}},
      {"caller has an active window", 7, 3, false, false, 0,
       {"ForegroundWindow@main", "ActiveWindowOfCallingThread@main", "DoShow@w1",
        "AfterAction@w1", "PostToMainThread@w1", "DoAfterShow@main"}},
      {"browser closed while open", 7, 0, true, false, 7,
       {"ForegroundWindow@main", "ActiveWindowOfCallingThread@main", "EnableWindow(7,0)@main",
        "DoShow@w1", "IsWindow(7)@w1", "AfterAction@w1", "IsWindow(7)@w1", "DoAfterShow@w1",
        "PostToMainThread@w1", "DoAfterShow@main"}},
      {"engine action fails", 7, 0, false, true, 7,
       {"ForegroundWindow@main", "ActiveWindowOfCallingThread@main", "EnableWindow(7,0)@main",
        "DoShow@w1", "IsWindow(7)@w1", "EnableWindow(7,1)@w1", "RaiseToTop(7)@w1",
        "SetForegroundWindow(7)@w1", "SetActiveWindow(7)@w1", "DoAfterShow@w1",
        "PostToMainThread@w1", "DoAfterShow@main"}},
  };
  for (const TRunCase& c : cases) {
    SCOPED_TRACE(c.Name);
    Fake.ClearCalls();
    Fake.SetForeground(c.Foreground);
    Fake.SetActiveOfCallingThread(c.ActiveOfCaller);
    Fake.AddWindow(7);
    std::shared_ptr<TTestDialog> dialog = MakeDialog(c.ActionFails);

    dialog->Show();
    EXPECT_TRUE(dialog->IsShowing());
    EXPECT_EQ(dialog->Host(), c.ExpectedHost);
    ASSERT_TRUE(dialog->ActionStarted.Wait());
    if (c.CloseHostWhileOpen) Fake.CloseWindow(7);
    dialog->CloseDialog.Open();
    EXPECT_EQ(Fake.WaitAndRunPostedWork(Patience.count()), 1);

    EXPECT_EQ(Trace(), c.Expected);
    EXPECT_FALSE(EngineDialogActive);
    std::exception_ptr error = dialog->WorkerError();
    if (c.ActionFails) {
      ASSERT_TRUE(error);
      EXPECT_THROW(std::rethrow_exception(error), std::runtime_error);
    } else {
      EXPECT_FALSE(error);
    }
  }
}

TEST_F(DialogRunnerTest, ShowReturnsWhileTheDialogIsOpen) {
  Fake.SetForeground(7);
  std::shared_ptr<TTestDialog> dialog = MakeDialog();
  dialog->Show();
  ASSERT_TRUE(dialog->ActionStarted.Wait());

  // The dialog is up and the caller has long gone on.
  EXPECT_TRUE(EngineDialogActive);
  EXPECT_EQ(RunningDialogWorkers(), 1);
  EXPECT_FALSE(WaitForDialogWorkers(50ms));
  EXPECT_EQ(Fake.CallsStartingWith("DoAfterShow").size(), 0u);
  EXPECT_EQ(Fake.CallsStartingWith("EnableWindow(7,1)").size(), 0u);

  dialog->CloseDialog.Open();
  EXPECT_TRUE(WaitForDialogWorkers(Patience));
  EXPECT_EQ(RunningDialogWorkers(), 0);
  EXPECT_FALSE(EngineDialogActive);
  EXPECT_EQ(Fake.RunPostedWork(), 1);
}

TEST_F(DialogRunnerTest, GivesTheBrowserItsWindowBackWhenNoWorkerStarts) {
  Fake.SetForeground(7);
  std::shared_ptr<TTestDialog> dialog = MakeDialog();
  std::weak_ptr<TTestDialog> weak = dialog;
  FailWorkerCreationsForTests(1);

  dialog->Show();

  EXPECT_FALSE(dialog->IsShowing());
  EXPECT_EQ(Trace(), (Steps{"ForegroundWindow@main", "ActiveWindowOfCallingThread@main",
                            "EnableWindow(7,0)@main", "EnableWindow(7,1)@main"}));
  EXPECT_EQ(RunningDialogWorkers(), 0);
  EXPECT_EQ(Fake.PostedCount(), 0u);
  // Nothing of the failed start holds on to the runner.
  dialog.reset();
  EXPECT_TRUE(weak.expired());
}

TEST_F(DialogRunnerTest, ASecondShowOnTheSameRunnerStartsNothing) {
  Fake.SetForeground(7);
  std::shared_ptr<TTestDialog> dialog = MakeDialog();
  dialog->Show();
  ASSERT_TRUE(dialog->ActionStarted.Wait());
  dialog->Show();
  EXPECT_EQ(RunningDialogWorkers(), 1);
  EXPECT_EQ(Fake.CallsStartingWith("ForegroundWindow").size(), 1u);
  dialog->CloseDialog.Open();
  EXPECT_EQ(Fake.WaitAndRunPostedWork(Patience.count()), 1);
}

TEST_F(DialogRunnerTest, TheRunKeepsTheRunnerUntilTheNoticeOnTheMainThread) {
  Fake.SetForeground(7);
  std::shared_ptr<TTestDialog> dialog = MakeDialog();
  std::weak_ptr<TTestDialog> weak = dialog;
  dialog->Show();
  ASSERT_TRUE(dialog->ActionStarted.Wait());
  dialog.reset();  // the driver puts the next runner into its slot
  EXPECT_FALSE(weak.expired());

  weak.lock()->CloseDialog.Open();
  ASSERT_TRUE(WaitForDialogWorkers(Patience));
  EXPECT_FALSE(weak.expired());  // the worker has ended; the notice has not run yet

  EXPECT_EQ(Fake.RunPostedWork(), 1);
  EXPECT_TRUE(weak.expired());
  EXPECT_EQ(Fake.CallsStartingWith("DoAfterShow").size(), 2u);
}

TEST_F(DialogRunnerTest, TwoRunsAtOnceHaveTheirOwnWorkersAndShareTheFlag) {
  Fake.SetForeground(7);
  std::shared_ptr<TTestDialog> first = MakeDialog();
  std::shared_ptr<TTestDialog> second = MakeDialog();
  first->Show();
  ASSERT_TRUE(first->ActionStarted.Wait());
  second->Show();
  ASSERT_TRUE(second->ActionStarted.Wait());
  EXPECT_EQ(RunningDialogWorkers(), 2);

  first->CloseDialog.Open();
  EXPECT_EQ(Fake.WaitAndRunPostedWork(Patience.count()), 1);
  // The flag is no count: the first dialog to close clears it while the second is open.
  EXPECT_FALSE(EngineDialogActive);

  second->CloseDialog.Open();
  EXPECT_EQ(Fake.WaitAndRunPostedWork(Patience.count()), 1);
  std::vector<std::string> shows;
  for (const std::string& step : Trace())
    if (step.rfind("DoShow@", 0) == 0) shows.push_back(step);
  EXPECT_EQ(shows, (Steps{"DoShow@w1", "DoShow@w2"}));
  EXPECT_EQ(Fake.CallsStartingWith("DoAfterShow").size(), 4u);
}

TEST_F(DialogRunnerTest, ShowNeedsARunnerOwnedByASharedPtr) {
  Fake.SetForeground(7);
  TTestDialog dialog(Fake, false);
  EXPECT_THROW(dialog.Show(), std::bad_weak_ptr);
  EXPECT_EQ(Fake.Calls().size(), 0u);
  EXPECT_FALSE(dialog.IsShowing());
}

// --- the worker thread on its own ---

class WorkerThreadTest : public testing::Test {
 protected:
  void TearDown() override {
    EXPECT_TRUE(WaitForDialogWorkers(Patience));
    FailWorkerCreationsForTests(0);
  }
  TRecordingDesktop Fake;
};

TEST_F(WorkerThreadTest, RunsTheProcedureOnceThenNotifiesOnTheMainThread) {
  std::thread::id procThread;
  int runs = 0;
  std::vector<TktThread*> senders;
  std::vector<std::thread::id> noticeThreads;
  std::unique_ptr<TktThread> thread = CreateWorkerThread(
      [&] {
        procThread = std::this_thread::get_id();
        ++runs;
      },
      [&](TktThread& sender) {
        senders.push_back(&sender);
        noticeThreads.push_back(std::this_thread::get_id());
      });
  ASSERT_NE(thread, nullptr);
  EXPECT_EQ(Fake.WaitAndRunPostedWork(Patience.count()), 1);

  EXPECT_EQ(runs, 1);
  EXPECT_NE(procThread, std::this_thread::get_id());
  EXPECT_EQ(senders, std::vector<TktThread*>{thread.get()});
  EXPECT_EQ(noticeThreads, std::vector<std::thread::id>{std::this_thread::get_id()});
  EXPECT_FALSE(thread->FatalException());
}

TEST_F(WorkerThreadTest, KeepsTheErrorThatEndedTheProcedure) {
  int notices = 0;
  std::unique_ptr<TktThread> thread = CreateWorkerThread(
      [] { throw std::logic_error("lost"); }, [&](TktThread&) { ++notices; });
  ASSERT_NE(thread, nullptr);
  EXPECT_EQ(Fake.WaitAndRunPostedWork(Patience.count()), 1);
  EXPECT_EQ(notices, 1);
  std::exception_ptr error = thread->FatalException();
  ASSERT_TRUE(error);
  EXPECT_THROW(std::rethrow_exception(error), std::logic_error);
}

TEST_F(WorkerThreadTest, AnEmptyProcedureStillNotifies) {
  int notices = 0;
  TktThread thread(false, {}, [&](TktThread&) { ++notices; });
  EXPECT_EQ(Fake.WaitAndRunPostedWork(Patience.count()), 1);
  EXPECT_EQ(notices, 1);
}

TEST_F(WorkerThreadTest, ASuspendedThreadBeginsOnStart) {
  int runs = 0;
  TktThread thread(true, [&] { ++runs; }, [](TktThread&) {});
  EXPECT_EQ(RunningDialogWorkers(), 0);
  EXPECT_EQ(Fake.PostedCount(), 0u);
  thread.Start();
  thread.Start();  // begins once
  EXPECT_EQ(Fake.WaitAndRunPostedWork(Patience.count()), 1);
  EXPECT_EQ(runs, 1);
}

TEST_F(WorkerThreadTest, CreationFailuresYieldNoThread) {
  FailWorkerCreationsForTests(2);
  int runs = 0;
  EXPECT_EQ(CreateWorkerThread([&] { ++runs; }), nullptr);
  EXPECT_EQ(CreateWorkerThread([&] { ++runs; }), nullptr);
  EXPECT_EQ(RunningDialogWorkers(), 0);
  std::unique_ptr<TktThread> third = CreateWorkerThread([&] { ++runs; });
  ASSERT_NE(third, nullptr);
  EXPECT_TRUE(WaitForDialogWorkers(Patience));
  EXPECT_EQ(runs, 1);
}

TEST_F(WorkerThreadTest, LetsItselfGoWhenReleasedOnItsOwnThread) {
  // The procedure holds the only owner of its own thread object, so the object dies on that
  // thread when the procedure is released: it must not wait for itself.
  auto owner = std::make_shared<std::unique_ptr<TktThread>>();
  std::weak_ptr<std::unique_ptr<TktThread>> weak = owner;
  auto go = std::make_shared<TGate>();
  *owner = CreateWorkerThread([owner, go] { EXPECT_TRUE(go->Wait()); });
  ASSERT_NE(*owner, nullptr);
  owner.reset();
  go->Open();
  EXPECT_TRUE(WaitForDialogWorkers(Patience));
  EXPECT_TRUE(weak.expired());
}

}  // namespace
}  // namespace trs
