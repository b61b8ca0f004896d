// The request reader over in-memory streams: line handling, methods, headers, bodies, limits.
#include "endpoint/HttpRequestReader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace trs {
namespace {

using R = THttpReadResult;

struct TOutcome {
  R Result;
  THttpRequest Request;
  size_t Consumed;
};

TOutcome ReadFrom(const std::string& input, size_t chunk = SIZE_MAX,
                  THttpMemoryStream::TEnd end = THttpMemoryStream::EndClosed,
                  uint64_t maxBody = HttpDefaultMaxBodySize) {
  THttpMemoryStream stream(input, chunk, end);
  TOutcome outcome{R::Drop, {}, 0};
  outcome.Result = THttpRequestReader(stream, maxBody).Read(outcome.Request);
  outcome.Consumed = stream.Consumed();
  EXPECT_TRUE(stream.Written().empty());  // the reader never answers by itself
  return outcome;
}

// Every case is read twice: in one piece and one byte per read, as a slow network hands it over.
const size_t Chunks[] = {SIZE_MAX, 1};

TEST(HttpRequestReader, ParsesTheRequestLine) {
  struct TCase {
    std::string Input;
    R Result;
    std::string Method, Target, Version;
  };
  const TCase cases[] = {
      {"GET /?Get=IsPrinting HTTP/1.1\r\nHost: x\r\n\r\n", R::Request, "GET", "/?Get=IsPrinting", "HTTP/1.1"},
      {"GET / HTTP/1.0\nHost: x\n\n", R::Request, "GET", "/", "HTTP/1.0"},  // bare LF
      {"GET /a b c HTTP/1.1\r\n\r\n", R::Request, "GET", "/a b c", "HTTP/1.1"},  // split at the last blank
      {"get /x HTTP/1.1\r\n\r\n", R::Request, "GET", "/x", "HTTP/1.1"},
      {"Head /x HTTP/1.1\r\n\r\n", R::Request, "HEAD", "/x", "HTTP/1.1"},
      {"POST /x HTTP/1.1\r\nContent-Length: 0\r\n\r\n", R::Request, "POST", "/x", "HTTP/1.1"},
      {"GET  /x HTTP/1.1\r\n\r\n", R::Request, "GET", " /x", "HTTP/1.1"},  // the rest after the first blank
      {"GET HTTP/1.1\r\n\r\n", R::Request, "GET", "", "HTTP/1.1"},
      {"GET /x \r\n\r\n", R::Request, "GET", "/x", ""},
      {"GET /a\rb HTTP/1.1\r\n\r\n", R::Request, "GET", "/a\rb", "HTTP/1.1"},   // only the CR before LF goes
      {"GET /x HTTP/1.1\r\r\n\r\n", R::Request, "GET", "/x", "HTTP/1.1\r"},
      {"GET\r\n\r\n", R::Drop, "", "", ""},  // no blank
      {"\r\n", R::Drop, "", "", ""},
      {"PUT / HTTP/1.1\r\n\r\n", R::Drop, "", "", ""},
      {"DELETE / HTTP/1.1\r\n\r\n", R::Drop, "", "", ""},
      {"GETX / HTTP/1.1\r\n\r\n", R::Drop, "", "", ""},
      {"GET / HTTP/1.1", R::Drop, "", "", ""},            // cut off before the LF
      {"GET / HTTP/1.1\r\nHost: x\r\n", R::Drop, "", "", ""},  // no empty line
      {"", R::Drop, "", "", ""},
  };
  for (const size_t chunk : Chunks) {
    for (const TCase& c : cases) {
      SCOPED_TRACE(testing::Message() << "chunk " << chunk << ": " << c.Input);
      const TOutcome o = ReadFrom(c.Input, chunk);
      EXPECT_EQ(o.Result, c.Result);
      if (c.Result != R::Request) continue;
      EXPECT_EQ(o.Request.Method, c.Method);
      EXPECT_EQ(o.Request.Target, c.Target);
      EXPECT_EQ(o.Request.Version, c.Version);
    }
  }
}

TEST(HttpRequestReader, UnknownMethodIsDroppedUnread) {
  const TOutcome o = ReadFrom("BREW / HTTP/1.1\r\n" + std::string(100000, 'h'));
  EXPECT_EQ(o.Result, R::Drop);
  EXPECT_LT(o.Consumed, 40000u);
}

TEST(HttpRequestReader, LinesUpToTheLimitPass) {
  const std::string target = "/" + std::string(HttpMaxLineLength - 14, 'a');  // + "GET " + " HTTP/1.1" = limit
  const std::string atLimit = "GET " + target + " HTTP/1.1";
  ASSERT_EQ(atLimit.size(), HttpMaxLineLength);
  const std::string header = "X-Big: " + std::string(HttpMaxLineLength - 7, 'v');
  ASSERT_EQ(header.size(), HttpMaxLineLength);
  struct TCase {
    const char* Name;
    std::string Input;
    R Result;
  };
  const TCase cases[] = {
      {"request line at limit, CRLF", atLimit + "\r\n\r\n", R::Request},
      {"request line at limit, LF", atLimit + "\n\n", R::Request},
      {"request line over limit", "GET " + target + "a HTTP/1.1\r\n\r\n", R::Drop},
      {"header at limit", "GET / HTTP/1.1\r\n" + header + "\r\n\r\n", R::Request},
      {"header over limit", "GET / HTTP/1.1\r\n" + header + "v\r\n\r\n", R::Drop},
      {"header over limit, LF", "GET / HTTP/1.1\r\n" + header + "v\n\n", R::Drop},
  };
  for (const size_t chunk : {SIZE_MAX, size_t{1000}, size_t{1}}) {
    for (const TCase& c : cases) {
      SCOPED_TRACE(testing::Message() << "chunk " << chunk << ": " << c.Name);
      const TOutcome o = ReadFrom(c.Input, chunk);
      EXPECT_EQ(o.Result, c.Result);
      if (o.Result != R::Request) continue;
      if (c.Name[0] == 'r') {
        EXPECT_EQ(o.Request.Target, target);
      } else {
        EXPECT_EQ(o.Request.Headers.at(0).second, header.substr(7));
      }
    }
  }
}

TEST(HttpRequestReader, GivesUpOnEndlessLinesWithoutBufferingThem) {
  const std::string endless(4 << 20, 'x');
  const TOutcome line = ReadFrom("GET /" + endless);
  EXPECT_EQ(line.Result, R::Drop);
  EXPECT_LT(line.Consumed, 2 * HttpMaxLineLength + 100);
  // Many headers, each within the line limit, still end at the header budget.
  std::string headers = "GET / HTTP/1.1\r\n";
  while (headers.size() < HttpMaxHeaderBytes + 100000) headers += "X-Pad: " + std::string(16000, 'p') + "\r\n";
  const TOutcome many = ReadFrom(headers + "\r\n");
  EXPECT_EQ(many.Result, R::Drop);
  EXPECT_LT(many.Consumed, HttpMaxHeaderBytes + 40000);
}

TEST(HttpRequestReader, KeepsHeadersInArrivalOrder) {
  const TOutcome o = ReadFrom(
      "GET / HTTP/1.1\r\nHost:  localhost:8080 \r\nX-A: 1\r\nNoColon\r\nx-a:2\r\nEmpty:\r\n\r\n");
  ASSERT_EQ(o.Result, R::Request);
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"Host", "localhost:8080"}, {"X-A", "1"}, {"NoColon", ""}, {"x-a", "2"}, {"Empty", ""}};
  EXPECT_EQ(o.Request.Headers, expected);
  ASSERT_NE(o.Request.FindHeader("x-A"), nullptr);
  EXPECT_EQ(*o.Request.FindHeader("x-A"), "1");  // the first of that name
}

TEST(HttpRequestReader, ReadsTheBodyTheHeadersCallFor) {
  struct TCase {
    std::string Head;  // request line and headers, without the empty line
    std::string Rest;  // what the client sends after the empty line
    THttpMemoryStream::TEnd End;
    R Result;
    std::string Body;
  };
  const auto closed = THttpMemoryStream::EndClosed;
  const auto silent = THttpMemoryStream::EndFailed;  // the client stays silent until the timeout
  const TCase cases[] = {
      {"POST / HTTP/1.1\r\nContent-Length: 3", "abcdef", silent, R::Request, "abc"},
      {"POST / HTTP/1.1\r\ncontent-length:  3 ", "abc", silent, R::Request, "abc"},
      {"POST / HTTP/1.1\r\nCONTENT-LENGTH: +3", "abc", silent, R::Request, "abc"},
      {"GET / HTTP/1.1\r\nContent-Length: 2", "ab", silent, R::Request, "ab"},
      {"OPTIONS / HTTP/1.1\r\nContent-Length: 2", "ab", silent, R::Request, "ab"},
      {"POST / HTTP/1.1\r\nContent-Length: 0", "abc", silent, R::Request, ""},
      {"POST / HTTP/1.1\r\nContent-Length: -5", "abc", silent, R::Request, ""},
      {"POST / HTTP/1.1\r\nContent-Length: 5", "abc", closed, R::Drop, ""},  // cut off
      {"POST / HTTP/1.1\r\nContent-Length: 5", "abc", silent, R::Drop, ""},
      // Without a valid length a POST body runs until the client closes its side.
      {"POST / HTTP/1.1", "a=1&b=2", closed, R::Request, "a=1&b=2"},
      {"POST / HTTP/1.1\r\nContent-Length: abc", "xyz", closed, R::Request, "xyz"},
      {"POST / HTTP/1.1\r\nContent-Length: 3x", "xyz!", closed, R::Request, "xyz!"},
      {"POST / HTTP/1.1\r\nContent-Length:", "xyz", closed, R::Request, "xyz"},
      {"POST / HTTP/1.1", "", closed, R::Request, ""},
      {"POST / HTTP/1.1", "a=1", silent, R::Drop, ""},
      // Other methods without a length have no body, whatever follows.
      {"GET / HTTP/1.1\r\nContent-Length: abc", "xyz", silent, R::Request, ""},
      {"HEAD / HTTP/1.1", "xyz", silent, R::Request, ""},
      {"GET / HTTP/1.1\r\nContent-Length: 268435457", "", silent, R::TooLarge, ""},
      {"POST / HTTP/1.1\r\nContent-Length: 99999999999999999999999", "", silent, R::TooLarge, ""},
      {"POST / HTTP/1.1\r\nContent-Length: 268435456", "abc", closed, R::Drop, ""},  // at the limit: read
  };
  for (const size_t chunk : Chunks) {
    for (const TCase& c : cases) {
      SCOPED_TRACE(testing::Message() << "chunk " << chunk << ": " << c.Head << " | " << c.Rest);
      const TOutcome o = ReadFrom(c.Head + "\r\n\r\n" + c.Rest, chunk, c.End);
      EXPECT_EQ(o.Result, c.Result);
      if (o.Result == R::Request) {
        EXPECT_EQ(o.Request.RawBody, c.Body);
      }
    }
  }
}

TEST(HttpRequestReader, BodyUntilCloseStopsAtTheLimit) {
  struct TCase {
    size_t Bytes;
    R Result;
  };
  for (const TCase c : {TCase{10, R::Request}, TCase{11, R::TooLarge}, TCase{200000, R::TooLarge}}) {
    const TOutcome o = ReadFrom("POST / HTTP/1.1\r\n\r\n" + std::string(c.Bytes, 'b'), SIZE_MAX,
                                THttpMemoryStream::EndClosed, 10);
    EXPECT_EQ(o.Result, c.Result) << c.Bytes;
  }
  const TOutcome declared = ReadFrom("POST / HTTP/1.1\r\nContent-Length: 11\r\n\r\n", SIZE_MAX,
                                     THttpMemoryStream::EndFailed, 10);
  EXPECT_EQ(declared.Result, R::TooLarge);
}

TEST(HttpRequestReader, DecodesParametersFromQueryAndFormBody) {
  struct TCase {
    std::string Input;
    std::vector<std::string> Params;
  };
  const TCase cases[] = {
      {"GET /?type=V10&Get=IsPrinting HTTP/1.1\r\n\r\n", {"type=V10", "Get=IsPrinting"}},
      {"GET /?a=%u4E2D+x&&b HTTP/1.1\r\n\r\n", {"a=中 x", "", "b"}},
      {"POST /?q=1 HTTP/1.1\r\nContent-Type: application/x-www-form-urlencoded\r\nContent-Length: 7\r\n\r\nb=2&c=3",
       {"b=2", "c=3", "q=1"}},
      {"POST /?q=1 HTTP/1.1\r\nContent-Type: application/x-www-form-urlencoded\r\n\r\nb=%41",
       {"b=A", "q=1"}},  // read until close, then the query
      {"POST /?q=1 HTTP/1.1\r\nContent-Type: application/x-www-form-urlencoded;charset=UTF-8\r\n"
       "Content-Length: 3\r\n\r\nb=2",
       {"q=1"}},
      {"POST /?q=1 HTTP/1.1\r\nContent-Length: 3\r\n\r\nb=2", {"q=1"}},
  };
  for (const TCase& c : cases) {
    const TOutcome o = ReadFrom(c.Input);
    ASSERT_EQ(o.Result, R::Request) << c.Input;
    EXPECT_EQ(o.Request.Params, c.Params) << c.Input;
  }
}

TEST(HttpRequestReader, ParsesContentLengthValues) {
  struct TCase {
    const char* Text;
    std::optional<uint64_t> Value;
  };
  const TCase cases[] = {
      {"0", 0},  {"42", 42},         {" 42 ", 42},        {"\t7", 7},        {"+5", 5},
      {"-5", 0}, {"", std::nullopt}, {"abc", std::nullopt}, {"4 2", std::nullopt}, {"0x10", std::nullopt},
      {"-", std::nullopt},           {"18446744073709551615", UINT64_MAX}, {"99999999999999999999999", UINT64_MAX},
  };
  for (const TCase& c : cases) EXPECT_EQ(ParseHttpContentLength(c.Text), c.Value) << '"' << c.Text << '"';
}

}  // namespace
}  // namespace trs
