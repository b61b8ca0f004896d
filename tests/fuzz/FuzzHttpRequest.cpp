// Fuzz target: the request reader and the answer to what it read. The first byte chooses how
// the bytes arrive (piece size, whether the client closes or goes silent); the rest is what
// the client sends.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "endpoint/HttpParams.h"
#include "endpoint/HttpRequestReader.h"
#include "endpoint/HttpResponseWriter.h"
#include "platform/Exceptions.h"

namespace {

// Small, so that the too-large path is reachable from short inputs.
constexpr uint64_t MaxBody = 64;

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace trs;
  if (size == 0) return 0;
  const unsigned mode = data[0];
  const size_t chunk = (mode & 7) == 0 ? SIZE_MAX : (mode & 7);
  const auto end = (mode & 0x80) != 0 ? THttpMemoryStream::EndFailed : THttpMemoryStream::EndClosed;
  const std::string input(reinterpret_cast<const char*>(data + 1), size - 1);

  THttpMemoryStream stream(input, chunk, end);
  THttpRequest request;
  const THttpReadResult result = THttpRequestReader(stream, MaxBody).Read(request);
  Check(stream.Consumed() <= input.size());

  if (result == THttpReadResult::Request) {
    Check(request.Method == "GET" || request.Method == "POST" || request.Method == "HEAD" ||
          request.Method == "OPTIONS");
    Check(request.Target.find('\n') == std::string::npos && request.Version.find(' ') == std::string::npos);
    Check(request.Method.size() + request.Target.size() + request.Version.size() < HttpMaxLineLength);
    Check(request.RawBody.size() <= MaxBody);
    Check(request.Params == DecodeHttpParams(HttpParamSource(request)));
    for (const auto& [name, value] : request.Headers) {
      Check(name.size() <= HttpMaxLineLength && value.size() <= HttpMaxLineLength);
      Check(name.find('\n') == std::string::npos && value.find('\n') == std::string::npos);
    }
  }

  int calls = 0;
  const auto answer = AnswerHttpRequest(result, request, [&](const THttpRequest& r, THttpResponse& response) {
    ++calls;
    if (!r.Params.empty() && r.Params[0] == "throw") throw Exception(r.RawBody);
    for (const std::string& param : r.Params) response.Content += param;
  }, MaxBody);
  Check(answer.has_value() == (result != THttpReadResult::Drop));
  Check(calls == (result == THttpReadResult::Request && request.Method != "OPTIONS" ? 1 : 0));
  if (answer) {
    const std::string bytes = FormatHttpResponse(*answer);
    const size_t headerEnd = bytes.find("\r\n\r\n");
    Check(bytes.rfind("HTTP/1.1 ", 0) == 0 && headerEnd != std::string::npos);
    Check(bytes.compare(headerEnd + 4, std::string::npos, answer->Content) == 0);
    Check(stream.WriteAll(bytes) && stream.Written() == bytes);
  }
  return 0;
}
