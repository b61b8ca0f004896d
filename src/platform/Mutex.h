// A mutex and lock guard that clang's thread-safety analysis understands, so fields can be
// marked GUARDED_BY the lock that protects them.
#pragma once

#include <mutex>

#if defined(__clang__)
#define TRS_THREAD_ANNOTATION(x) __attribute__((x))
#else
#define TRS_THREAD_ANNOTATION(x)
#endif

#define CAPABILITY(x) TRS_THREAD_ANNOTATION(capability(x))
#define SCOPED_CAPABILITY TRS_THREAD_ANNOTATION(scoped_lockable)
#define GUARDED_BY(x) TRS_THREAD_ANNOTATION(guarded_by(x))
#define REQUIRES(...) TRS_THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
#define ACQUIRE(...) TRS_THREAD_ANNOTATION(acquire_capability(__VA_ARGS__))
#define RELEASE(...) TRS_THREAD_ANNOTATION(release_capability(__VA_ARGS__))
#define EXCLUDES(...) TRS_THREAD_ANNOTATION(locks_excluded(__VA_ARGS__))

namespace trs {

class CAPABILITY("mutex") TMutex {
 public:
  void Lock() ACQUIRE() { Handle.lock(); }
  void Unlock() RELEASE() { Handle.unlock(); }

 private:
  std::mutex Handle;
};

class SCOPED_CAPABILITY TLockGuard {
 public:
  explicit TLockGuard(TMutex& mutex) ACQUIRE(mutex) : Held(mutex) { Held.Lock(); }
  ~TLockGuard() RELEASE() { Held.Unlock(); }
  TLockGuard(const TLockGuard&) = delete;
  TLockGuard& operator=(const TLockGuard&) = delete;

 private:
  TMutex& Held;
};

}  // namespace trs
