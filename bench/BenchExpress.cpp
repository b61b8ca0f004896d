// A 10 MB UTF-8 JSON body handed to the express library through the running program
// ("LoadDataFromJson", one POST: transfer, decoding, the library call and the answer),
// beside the same request handled in this process without sockets, and the raw decoding of
// the body.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "BenchClient.h"
#include "endpoint/HttpMessage.h"
#include "endpoint/fuReportServer.h"
#include "BenchClock.h"
#include "platform/Text.h"
#include "support/ProgramUnderTest.h"
#include "support/StandInEngines.h"

namespace {

constexpr size_t BodyBytes = size_t{10} << 20;

// Rows of goods with Chinese names, as a page's print data looks, up to `bytes` of UTF-8.
std::string JsonBody(size_t bytes) {
  std::string body = "[";
  for (int row = 0; body.size() < bytes; ++row)
    body += "{\"编号\":" + std::to_string(row) + ",\"名称\":\"绿茶 500ml\",\"数量\":" + std::to_string(row % 12) +
            ",\"单价\":\"3.50\",\"备注\":\"express label\"},";
  body.back() = ']';
  return body;
}

}  // namespace

int main() {
  const std::string body = JsonBody(BodyBytes);
  const std::string request = "POST /?type=Express&Method=LoadDataFromJson HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                              "Content-Type: text/plain;charset=UTF-8\r\nContent-Length: " +
                              std::to_string(body.size()) + "\r\n\r\n" + body;
  trs::test::TProgramOptions options;
  options.Files = {{trs::test::StandInEngine("rptengine.dll"), "rptengine.dll"}};
  trs::test::TProgramUnderTest program(options);

  size_t characters = 0;
  const double decodeSeconds = trs::bench::BestSeconds(5, [&] { characters = trs::DecodeUtf8Body(body).size(); });
  const double endToEndSeconds = trs::bench::BestSeconds(5, [&] {
    const std::string answer = trs::test::BodyOf(trs::bench::Fetch(program.Port(), request));
    if (answer != std::to_string(characters)) {
      std::fprintf(stderr, "unexpected answer: %s\n", answer.substr(0, 200).c_str());
      std::exit(1);
    }
  });

  // In process: the express driver loads the stand-in beside this benchmark.
  trs::TReportServer inProcess(0);
  trs::THttpRequest direct;
  direct.Method = "POST";
  direct.Params = {"type=Express", "Method=LoadDataFromJson"};
  direct.RawBody = body;
  const double inProcessSeconds = trs::bench::BestSeconds(5, [&] {
    trs::THttpResponse response;
    inProcess.HandleCommand(direct, response);
  });

  const double megabytes = static_cast<double>(body.size()) / (1 << 20);
  std::printf("LoadDataFromJson of a %.1f MB UTF-8 JSON body (%zu characters), best of 5\n", megabytes, characters);
  std::printf("  %-36s %8.1f ms  %8.0f MB/s\n", "end to end over HTTP", endToEndSeconds * 1000, megabytes / endToEndSeconds);
  std::printf("  %-36s %8.1f ms  %8.0f MB/s\n", "in process, no sockets (ref)", inProcessSeconds * 1000, megabytes / inProcessSeconds);
  std::printf("  %-36s %8.1f ms  %8.0f MB/s\n", "raw decode of the body (ref)", decodeSeconds * 1000, megabytes / decodeSeconds);
  std::printf("  %-36s %8.2fx\n", "end to end / raw decode", endToEndSeconds / decodeSeconds);
  return 0;
}
