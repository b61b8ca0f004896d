// The byte stream an HTTP exchange travels over, and an in-memory one for tests and fuzzing.
//
// The request reader and the exchange logic see only IHttpStream, so they run the same over
// a socket, a fuzzer's bytes or a test's script.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace trs {

class IHttpStream {
 public:
  virtual ~IHttpStream() = default;
  // Reads at most `size` (> 0) bytes. Returns the count read (> 0), 0 when the peer has
  // closed its side, or -1 when the connection is to be given up (failure, idle timeout,
  // server stopping).
  virtual long Read(char* buffer, size_t size) = 0;
  // Writes every byte; false when the peer is gone.
  virtual bool WriteAll(std::string_view data) = 0;
};

// Reads come from a fixed input, at most MaxChunk bytes per Read (TCP hands data over in
// arbitrary pieces); writes are collected. At the end of the input the stream reports the
// peer's close, or a failure when told to (a client that stays silent until the timeout).
class THttpMemoryStream : public IHttpStream {
 public:
  enum TEnd { EndClosed, EndFailed };

  explicit THttpMemoryStream(std::string input, size_t maxChunk = SIZE_MAX, TEnd end = EndClosed)
      : Input(std::move(input)), MaxChunk(maxChunk == 0 ? 1 : maxChunk), End(end) {}

  long Read(char* buffer, size_t size) override;
  bool WriteAll(std::string_view data) override;

  const std::string& Written() const { return Output; }
  size_t Consumed() const { return Position; }

 private:
  std::string Input;
  size_t Position = 0;
  size_t MaxChunk;
  TEnd End;
  std::string Output;
};

}  // namespace trs
