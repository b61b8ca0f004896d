// The reference server of the HTTP benchmarks: a process that does the least an answer
// takes (accept, read up to the empty line, answer "1" with the program's headers, close),
// so that the transport's own cost is measured beside the program's.
#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "endpoint/HttpResponseWriter.h"
#include "platform/Socket.h"

namespace trs::bench {

// Starts the floor process on a free loopback port (set in `port`); stop it with SIGTERM.
inline pid_t StartFloorProcess(int& port) {
  TSocket listener = ListenTcp("127.0.0.1", 0, true);
  port = listener.LocalPort();
  const pid_t child = fork();
  if (child != 0) return child;
  const std::string answer = FormatHttpResponse({200, "1"});
  TSocketWaiter waiter;
  std::vector<TSocket*> listeners{&listener};
  std::vector<size_t> ready;
  char buffer[4096];
  while (waiter.Wait(listeners, ready)) {
    for (TSocket socket = listener.Accept(); socket.Valid(); socket = listener.Accept()) {
      std::string got;
      while (got.find("\r\n\r\n") == std::string::npos) {
        const TSocketReceive r = socket.Receive(buffer, sizeof buffer);
        if (r.Kind != TSocketReceive::Data) break;
        got.append(buffer, r.Count);
      }
      socket.SendAll(answer);
    }
  }
  _exit(0);
}

}  // namespace trs::bench
