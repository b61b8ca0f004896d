// A mutex and lock guard that clang's thread-safety analysis understands, so fields can be
// marked TRS_GUARDED_BY the lock that protects them.
#pragma once

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

namespace trs {

class TRS_CAPABILITY("mutex") TMutex {
 public:
  void Lock() TRS_ACQUIRE() { Handle.lock(); }
  void Unlock() TRS_RELEASE() { Handle.unlock(); }

 private:
  std::mutex Handle;
};

class TRS_SCOPED_CAPABILITY TLockGuard {
 public:
  explicit TLockGuard(TMutex& mutex) TRS_ACQUIRE(mutex) : Held(mutex) { Held.Lock(); }
  ~TLockGuard() TRS_RELEASE() { Held.Unlock(); }
  TLockGuard(const TLockGuard&) = delete;
  TLockGuard& operator=(const TLockGuard&) = delete;

 private:
  TMutex& Held;
};

}  // namespace trs
