// The response bytes and the mapping from read outcomes and handler errors to answers.
#include "endpoint/HttpResponseWriter.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "platform/Exceptions.h"

namespace trs {
namespace {

const std::string FixedTail =
    "Connection: close\r\n"
    "Access-Control-Allow-Origin: *\r\n"
    "Access-Control-Allow-Methods: GET,POST,OPTIONS\r\n"
    "Access-Control-Allow-Headers: Origin,Content-Type,Accept\r\n"
    "\r\n";

TEST(HttpResponseWriter, FormatsStatusFixedHeadersAndBody) {
  EXPECT_EQ(FormatHttpResponse({200, "0"}),
            "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 1\r\n" + FixedTail + "0");
  // No Content-Length for an empty body.
  EXPECT_EQ(FormatHttpResponse({200, ""}), "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n" + FixedTail);
  EXPECT_EQ(FormatHttpResponse({500, "中"}),
            "HTTP/1.1 500 Internal Server Error\r\nContent-Type: text/html\r\nContent-Length: 3\r\n" + FixedTail + "中");
  EXPECT_EQ(FormatHttpResponse({413, "x"}).substr(0, 33), "HTTP/1.1 413 Payload Too Large\r\nC");
}

TEST(HttpResponseWriter, AnswersEachOutcome) {
  int calls = 0;
  const THttpHandler handler = [&](const THttpRequest& request, THttpResponse& response) {
    ++calls;
    if (request.Target == "/trs") throw Exception("Bad thing \xE4\xB8\xAD");
    if (request.Target == "/std") throw std::runtime_error("runtime");
    if (request.Target == "/int") throw 42;
    response.Content = "ok:" + request.Method;
  };
  THttpRequest request;
  request.Method = "GET";

  EXPECT_FALSE(AnswerHttpRequest(THttpReadResult::Drop, request, handler).has_value());
  const auto tooLarge = AnswerHttpRequest(THttpReadResult::TooLarge, request, handler, 268435456);
  ASSERT_TRUE(tooLarge.has_value());
  EXPECT_EQ(tooLarge->Status, 413);
  EXPECT_EQ(tooLarge->Content, "Request body too large: the limit is 268435456 bytes");
  EXPECT_EQ(calls, 0);

  struct TCase {
    std::string Method, Target;
    int Status;
    std::string Content;
  };
  const TCase cases[] = {
      {"GET", "/", 200, "ok:GET"},
      {"HEAD", "/", 200, "ok:HEAD"},
      {"OPTIONS", "/", 200, ""},  // the handler is not called
      {"GET", "/trs", 500, "Bad thing \xE4\xB8\xAD"},
      {"POST", "/std", 500, "runtime"},
      {"GET", "/int", 500, "Internal Server Error"},
  };
  for (const TCase& c : cases) {
    request.Method = c.Method;
    request.Target = c.Target;
    const auto answer = AnswerHttpRequest(THttpReadResult::Request, request, handler);
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(answer->Status, c.Status) << c.Method << c.Target;
    EXPECT_EQ(answer->Content, c.Content) << c.Method << c.Target;
  }
  EXPECT_EQ(calls, 5);
}

}  // namespace
}  // namespace trs
