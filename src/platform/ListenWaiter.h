// Waiting for connections on listening sockets shared by a pool of threads.
#pragma once

#include <vector>

#include "platform/Socket.h"

namespace trs {

// A sticky wake-up for every thread waiting in a TListenWaiter built with it: once Wake()
// has been called, each of their waits returns at once, now and later.
class TWakeSignal {
 public:
  TWakeSignal();  // throws trs::Exception when the signal cannot be made
  ~TWakeSignal();
  TWakeSignal(const TWakeSignal&) = delete;
  TWakeSignal& operator=(const TWakeSignal&) = delete;

  void Wake();
  TSocket::TNative Handle() const { return Native; }

 private:
  TSocket::TNative Native = TSocket::InvalidNative;
};

// One thread's wait on listening sockets that several threads wait on at the same time,
// each with a waiter of its own. An incoming connection wakes one of those threads, not all
// of them, so a pool can take connections without handing them from thread to thread.
// The listeners and the wake signal must outlive the waiter; a listener closed meanwhile
// simply stops reporting.
class TListenWaiter {
 public:
  // Throws trs::Exception when the wait cannot be set up.
  TListenWaiter(const std::vector<TSocket*>& listeners, const TWakeSignal& wake);
  ~TListenWaiter();
  TListenWaiter(const TListenWaiter&) = delete;
  TListenWaiter& operator=(const TListenWaiter&) = delete;

  // The index of a listener with a pending connection, or -1 once the signal was woken.
  int Wait();

 private:
  TSocket::TNative Native = TSocket::InvalidNative;
};

}  // namespace trs
