// The mutex's lock holders and the condition variable: who holds the mutex when, and what a
// wait returns. The sanitizer builds turn a wait that gave the mutex back twice, or read
// the shared value without it, into a failure.
#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/Mutex.h"

namespace trs {
namespace {

using namespace std::chrono_literals;

struct TShared {
  TMutex Lock;
  TConditionVariable Changed;
  int Value TRS_GUARDED_BY(Lock) = 0;
};

TEST(ConditionVariableTest, NotifyOneWakesAWaiterWhoseConditionNowHolds) {
  TShared shared;
  int seen = 0;
  std::thread waiter([&] {
    TLockGuard guard(shared.Lock);
    shared.Changed.Wait(shared.Lock, [&]() TRS_REQUIRES(shared.Lock) { return shared.Value == 3; });
    seen = shared.Value;
  });
  for (int value = 1; value <= 3; ++value) {
    TLockGuard guard(shared.Lock);
    shared.Value = value;
    shared.Changed.NotifyOne();
  }
  waiter.join();
  EXPECT_EQ(seen, 3);
}

TEST(ConditionVariableTest, NotifyAllWakesEveryWaiter) {
  TShared shared;
  std::vector<std::thread> waiters;
  int woken = 0;
  for (int i = 0; i < 3; ++i) {
    waiters.emplace_back([&] {
      TLockGuard guard(shared.Lock);
      shared.Changed.Wait(shared.Lock, [&]() TRS_REQUIRES(shared.Lock) { return shared.Value != 0; });
      ++shared.Value;
      ++woken;
    });
  }
  {
    TLockGuard guard(shared.Lock);
    shared.Value = 1;
    shared.Changed.NotifyAll();
  }
  for (std::thread& waiter : waiters) waiter.join();
  TLockGuard guard(shared.Lock);
  EXPECT_EQ(woken, 3);
  EXPECT_EQ(shared.Value, 4);
}

TEST(ConditionVariableTest, TimedWaitsSayWhetherTheConditionHeld) {
  TShared shared;
  TLockGuard guard(shared.Lock);
  auto isSet = [&]() TRS_REQUIRES(shared.Lock) { return shared.Value != 0; };
  EXPECT_FALSE(shared.Changed.WaitFor(shared.Lock, 20ms, isSet));
  EXPECT_FALSE(shared.Changed.WaitUntil(shared.Lock, std::chrono::steady_clock::now() - 1s, isSet));
  shared.Value = 1;
  EXPECT_TRUE(shared.Changed.WaitFor(shared.Lock, 0ms, isSet));
  EXPECT_TRUE(shared.Changed.WaitUntil(shared.Lock, std::chrono::steady_clock::now() - 1s, isSet));
}

TEST(ConditionVariableTest, TimedWaitSeesAChangeMadeWhileItWaits) {
  TShared shared;
  std::thread setter([&] {
    TLockGuard guard(shared.Lock);
    shared.Value = 1;
    shared.Changed.NotifyAll();
  });
  {
    TLockGuard guard(shared.Lock);
    EXPECT_TRUE(shared.Changed.WaitFor(shared.Lock, 10s,
                                       [&]() TRS_REQUIRES(shared.Lock) { return shared.Value == 1; }));
  }
  setter.join();
}

// After every kind of return the caller's guard still owns the mutex, once: another thread
// can take it as soon as the guard is gone.
TEST(ConditionVariableTest, TheCallersGuardOwnsTheMutexAfterATimeoutAndAfterAThrow) {
  TShared shared;
  {
    TLockGuard guard(shared.Lock);
    EXPECT_FALSE(shared.Changed.WaitFor(shared.Lock, 1ms, [] { return false; }));
  }
  {
    TLockGuard guard(shared.Lock);
    EXPECT_THROW(shared.Changed.Wait(shared.Lock, []() -> bool { throw std::runtime_error("predicate"); }),
                 std::runtime_error);
  }
  std::thread other([&] {
    TLockGuard guard(shared.Lock);
    shared.Value = 7;
  });
  other.join();
  TLockGuard guard(shared.Lock);
  EXPECT_EQ(shared.Value, 7);
}

TEST(UniqueLockTest, LetsGoInBetweenAndTakesTheMutexAgain) {
  TShared shared;
  {
    TUniqueLock hold(shared.Lock);
    shared.Value = 1;
    hold.Unlock();
    // Would never end if Unlock had kept the mutex.
    std::thread other([&] {
      TLockGuard guard(shared.Lock);
      shared.Value = 2;
    });
    other.join();
    hold.Lock();
    EXPECT_EQ(shared.Value, 2);
  }
  {
    TUniqueLock hold(shared.Lock);
    hold.Unlock();
  }  // not given back a second time by the destructor
  std::thread other([&] {
    TLockGuard guard(shared.Lock);
    shared.Value = 3;
  });
  other.join();
  TLockGuard guard(shared.Lock);
  EXPECT_EQ(shared.Value, 3);
}

}  // namespace
}  // namespace trs
