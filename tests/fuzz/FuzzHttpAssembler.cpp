// Fuzz target: the incremental request parser fed in the pieces a network might hand over.
// Whatever the split, the outcome and the request must be those of feeding everything at
// once, and the memory it claims must cover what it holds.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "endpoint/HttpRequestAssembler.h"

namespace {

constexpr uint64_t MaxBody = 64;

void Check(bool condition) {
  if (!condition) std::abort();
}

struct TFed {
  std::optional<trs::THttpReadResult> Outcome;
  trs::THttpRequest Request;
};

// Feeds `input` in pieces whose sizes come from `sizes` (cycled; 0 means one byte), then the
// client's close when `close` is set.
TFed FeedInPieces(std::string_view input, std::string_view sizes, bool close) {
  trs::THttpRequestAssembler assembler(MaxBody);
  TFed fed;
  size_t next = 0;
  for (size_t position = 0; position < input.size() && !fed.Outcome;) {
    const size_t piece = sizes.empty() ? input.size() : static_cast<unsigned char>(sizes[next++ % sizes.size()]) % 97 + 1;
    const std::string_view bytes = input.substr(position, piece);
    position += bytes.size();
    fed.Outcome = assembler.Feed(bytes);
    Check(assembler.MemoryClaimed() >= assembler.Request().RawBody.size());
  }
  if (!fed.Outcome && close) fed.Outcome = assembler.FeedEnd();
  if (fed.Outcome) Check(assembler.Outcome() == fed.Outcome && assembler.Feed("more") == fed.Outcome);
  fed.Request = assembler.Request();
  return fed;
}

}  // namespace

// Input: one byte of flags, one byte n, n bytes of piece sizes, then what the client sends.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace trs;
  if (size < 2) return 0;
  const bool close = (data[0] & 1) != 0;
  const size_t sizeCount = std::min<size_t>(data[1], size - 2);
  const std::string_view sizes(reinterpret_cast<const char*>(data + 2), sizeCount);
  const std::string_view input(reinterpret_cast<const char*>(data + 2 + sizeCount), size - 2 - sizeCount);

  const TFed whole = FeedInPieces(input, "", close);
  const TFed pieces = FeedInPieces(input, sizes, close);
  Check(whole.Outcome == pieces.Outcome);
  if (whole.Outcome == THttpReadResult::Request) {
    Check(whole.Request.Method == pieces.Request.Method && whole.Request.Target == pieces.Request.Target &&
          whole.Request.Version == pieces.Request.Version && whole.Request.Headers == pieces.Request.Headers &&
          whole.Request.RawBody == pieces.Request.RawBody && whole.Request.Params == pieces.Request.Params);
    Check(whole.Request.RawBody.size() <= MaxBody);
  }
  return 0;
}
