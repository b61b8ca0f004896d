// Fuzz target: parameter decoding. Decoding never grows a piece, yields no zero byte that was
// not sent as one, and leaves text without escapes as it is (apart from "+").
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "endpoint/HttpParams.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace trs;
  const std::string_view source(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string> lines = DecodeHttpParams(source);

  size_t index = 0;
  size_t start = 0;
  while (start < source.size()) {
    size_t end = source.find('&', start);
    if (end == std::string_view::npos) end = source.size();
    const std::string_view piece = source.substr(start, end - start);
    Check(index < lines.size());
    const std::string& line = lines[index++];
    Check(line == DecodeHttpParam(piece));
    Check(line.size() <= piece.size());
    Check(std::count(line.begin(), line.end(), '\0') <= std::count(piece.begin(), piece.end(), '\0'));
    if (piece.find('%') == std::string_view::npos) {
      std::string plain(piece);
      for (char& c : plain)
        if (c == '+') c = ' ';
      Check(line == plain);
    }
    start = end + 1;
  }
  Check(index == lines.size());

  // The same text as a query string and as a form body gives the same lines.
  THttpRequest request;
  request.Target = "/?" + std::string(source);
  Check(DecodeHttpParams(HttpParamSource(request)) == lines);
  request.Target = "/";
  request.RawBody = std::string(source);
  request.Headers.emplace_back("Content-Type", "application/x-www-form-urlencoded");
  Check(DecodeHttpParams(HttpParamSource(request)) == lines);
  return 0;
}
