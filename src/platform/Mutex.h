// A mutex, its lock holders and a condition variable that clang's thread-safety analysis
// understands, so fields can be marked TRS_GUARDED_BY the lock that protects them and
// functions TRS_REQUIRES or TRS_EXCLUDES it. The program takes its locks only through these.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

#if defined(__clang__)
#define TRS_THREAD_ANNOTATION(x) __attribute__((x))
#else
#define TRS_THREAD_ANNOTATION(x)
#endif

#define TRS_CAPABILITY(x) TRS_THREAD_ANNOTATION(capability(x))
#define TRS_SCOPED_CAPABILITY TRS_THREAD_ANNOTATION(scoped_lockable)
#define TRS_GUARDED_BY(x) TRS_THREAD_ANNOTATION(guarded_by(x))
#define TRS_REQUIRES(...) TRS_THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
#define TRS_ACQUIRE(...) TRS_THREAD_ANNOTATION(acquire_capability(__VA_ARGS__))
#define TRS_RELEASE(...) TRS_THREAD_ANNOTATION(release_capability(__VA_ARGS__))
#define TRS_EXCLUDES(...) TRS_THREAD_ANNOTATION(locks_excluded(__VA_ARGS__))
#define TRS_NO_THREAD_SAFETY_ANALYSIS TRS_THREAD_ANNOTATION(no_thread_safety_analysis)

namespace trs {

class TRS_CAPABILITY("mutex") TMutex {
 public:
  TMutex() = default;
  TMutex(const TMutex&) = delete;
  TMutex& operator=(const TMutex&) = delete;

  void Lock() TRS_ACQUIRE() { Handle.lock(); }
  void Unlock() TRS_RELEASE() { Handle.unlock(); }

 private:
  friend class TConditionVariable;
  std::mutex Handle;
};

// Holds the mutex from construction to the end of the scope.
class TRS_SCOPED_CAPABILITY TLockGuard {
 public:
  explicit TLockGuard(TMutex& mutex) TRS_ACQUIRE(mutex) : Held(mutex) { Held.Lock(); }
  ~TLockGuard() TRS_RELEASE() { Held.Unlock(); }
  TLockGuard(const TLockGuard&) = delete;
  TLockGuard& operator=(const TLockGuard&) = delete;

 private:
  TMutex& Held;
};

// Holds the mutex from construction to the end of the scope, except where the holder lets
// go of it in between (Unlock ... Lock), e.g. to run work that must not hold it.
class TRS_SCOPED_CAPABILITY TUniqueLock {
 public:
  explicit TUniqueLock(TMutex& mutex) TRS_ACQUIRE(mutex) : Held(mutex) { Lock(); }
  ~TUniqueLock() TRS_RELEASE() {
    if (Owns) Held.Unlock();
  }
  TUniqueLock(const TUniqueLock&) = delete;
  TUniqueLock& operator=(const TUniqueLock&) = delete;

  void Lock() TRS_ACQUIRE() {
    Held.Lock();
    Owns = true;
  }
  void Unlock() TRS_RELEASE() {
    Owns = false;
    Held.Unlock();
  }

 private:
  TMutex& Held;
  bool Owns = false;
};

// A condition variable for TMutex. Every wait is made with the mutex held (by a TLockGuard
// or TUniqueLock); it lets go of the mutex while blocked and holds it again on return.
//
// The waits with a predicate loop until the predicate holds, so spurious wake-ups never
// reach the caller. The predicate runs with the mutex held, but the analysis cannot see
// that through the call: a lambda that reads guarded fields says so itself, e.g.
//   Changed.Wait(Lock, [this]() TRS_REQUIRES(Lock) { return Ready; });
class TConditionVariable {
 public:
  TConditionVariable() = default;
  TConditionVariable(const TConditionVariable&) = delete;
  TConditionVariable& operator=(const TConditionVariable&) = delete;

  void NotifyOne() noexcept { Handle.notify_one(); }
  void NotifyAll() noexcept { Handle.notify_all(); }

  // One wait; may return without a notification.
  void Wait(TMutex& mutex) TRS_REQUIRES(mutex) {
    TAdopted adopted(mutex);
    Handle.wait(adopted.Lock);
  }

  template <class Predicate>
  void Wait(TMutex& mutex, Predicate ready) TRS_REQUIRES(mutex) TRS_NO_THREAD_SAFETY_ANALYSIS {
    TAdopted adopted(mutex);
    Handle.wait(adopted.Lock, std::move(ready));
  }

  // Whether the predicate held before the time was up (it is checked once more at the end).
  template <class Rep, class Period, class Predicate>
  bool WaitFor(TMutex& mutex, const std::chrono::duration<Rep, Period>& timeout, Predicate ready)
      TRS_REQUIRES(mutex) TRS_NO_THREAD_SAFETY_ANALYSIS {
    TAdopted adopted(mutex);
    return Handle.wait_for(adopted.Lock, timeout, std::move(ready));
  }

  template <class Clock, class Duration, class Predicate>
  bool WaitUntil(TMutex& mutex, const std::chrono::time_point<Clock, Duration>& deadline,
                 Predicate ready) TRS_REQUIRES(mutex) TRS_NO_THREAD_SAFETY_ANALYSIS {
    TAdopted adopted(mutex);
    return Handle.wait_until(adopted.Lock, deadline, std::move(ready));
  }

 private:
  // Lends the caller's hold on the mutex to the standard wait and takes it back afterwards,
  // also when the wait throws (the standard wait holds the mutex again before it throws),
  // so the caller's guard still owns it.
  struct TAdopted {
    explicit TAdopted(TMutex& mutex) : Lock(mutex.Handle, std::adopt_lock) {}
    ~TAdopted() { Lock.release(); }
    TAdopted(const TAdopted&) = delete;
    TAdopted& operator=(const TAdopted&) = delete;
    std::unique_lock<std::mutex> Lock;
  };

  std::condition_variable Handle;
};

}  // namespace trs
