// Parameter decoding: where parameters come from and how each piece decodes.
#include "endpoint/HttpParams.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace trs {
namespace {

TEST(HttpParams, DecodesEachPiece) {
  struct TCase {
    std::string Piece;
    std::string Expected;
  };
  const TCase cases[] = {
      {"Get=IsPrinting", "Get=IsPrinting"},
      {"a+b=c+d", "a b=c d"},
      {"%41%62%2b", "Ab+"},           // an escaped "+" stays a plus
      {"a%00b%00", "ab"},             // a decoded zero byte is dropped
      {"%E4%B8%AD", "\xE4\xB8\xAD"},  // bytes go through as they are
      {"%C3%28", "\xC3("},            // no UTF-8 check either
      {"%u4E2D%u6587", "中文"},
      {"%u00e9t%u00E9", "été"},
      {"%uD83D%uDE00", "😀"},         // a surrogate pair is one character
      {"%uD83D", "?"},                // a lone half has no narrow form
      {"x%u0000y", "xy"},
      {"%u4E2D%41", "中A"},
      {"%zz", "%zz"},
      {"%4", "%4"},
      {"100%", "100%"},
      {"%%41", "%A"},
      {"%u12", "%u12"},
      {"%uZZZZ", "%uZZZZ"},
      {"%U0041", "%U0041"},  // only a lower-case u starts a UTF-16 escape
      {"%+1", "% 1"},
      {"", ""},
  };
  for (const TCase& c : cases) EXPECT_EQ(DecodeHttpParam(c.Piece), c.Expected) << c.Piece;
}

TEST(HttpParams, SplitsAtEachAmpersand) {
  struct TCase {
    std::string Source;
    std::vector<std::string> Expected;
  };
  const TCase cases[] = {
      {"", {}},
      {"a=1", {"a=1"}},
      {"a=1&&b", {"a=1", "", "b"}},
      {"&a", {"", "a"}},
      {"a=1&", {"a=1"}},
      {"a=%26&b=%u4E2D", {"a=&", "b=中"}},  // split first, then decode
      {"type=V10&Method=Print&Set=a+b", {"type=V10", "Method=Print", "Set=a b"}},
  };
  for (const TCase& c : cases) EXPECT_EQ(DecodeHttpParams(c.Source), c.Expected) << c.Source;
}

TEST(HttpParams, TakesTheSourceFromFormBodyAndQuery) {
  struct TCase {
    const char* Name;
    std::string Target;
    const char* ContentType;  // nullptr: no such header
    std::string Body;
    std::string Expected;
  };
  const char* form = "application/x-www-form-urlencoded";
  const TCase cases[] = {
      {"query only", "/?a=1&b=2", nullptr, "x=9", "a=1&b=2"},
      {"no query", "/", nullptr, "", ""},
      {"first ? splits", "/p?a=1?b=2", nullptr, "", "a=1?b=2"},
      {"form body then query", "/?q=1", form, "b=2", "b=2&q=1"},
      {"form body alone", "/", form, "b=2", "b=2"},
      {"form with empty body", "/?q=1", form, "", "q=1"},
      {"form in any case", "/?q=1", "Application/X-WWW-Form-URLEncoded", "b=2", "b=2&q=1"},
      {"form with charset is not form", "/?q=1", "application/x-www-form-urlencoded; charset=UTF-8", "b=2", "q=1"},
      {"other type", "/?q=1", "text/plain", "b=2", "q=1"},
  };
  for (const TCase& c : cases) {
    THttpRequest request;
    request.Method = "POST";
    request.Target = c.Target;
    request.RawBody = c.Body;
    request.Headers.emplace_back("Host", "localhost");
    if (c.ContentType != nullptr) request.Headers.emplace_back("content-type", c.ContentType);
    EXPECT_EQ(HttpParamSource(request), c.Expected) << c.Name;
  }
}

}  // namespace
}  // namespace trs
