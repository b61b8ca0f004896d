// The express driver in the real program over HTTP, with the stand-in rptengine.dll copied
// beside it: a page choosing a printer and printing a template with JSON data while it
// polls, a large UTF-8 body, and the program without the library.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "platform/Text.h"
#include "support/ProgramWithEngines.h"
#include "support/TestOs.h"

namespace trs::test {
namespace {

// The stand-in's fingerprint of a text: FNV-1a over its UTF-16 units, low byte first.
long long Fingerprint(const std::u16string& text) {
  uint32_t hash = 2166136261u;
  for (const char16_t unit : text) {
    hash = (hash ^ (unit & 0xFFu)) * 16777619u;
    hash = (hash ^ (static_cast<uint32_t>(unit) >> 8)) * 16777619u;
  }
  return hash;
}

TEST(ExpressTest, APageChoosesAPrinterAndPrintsATemplateWithJsonDataWhilePolling) {
  TProgramWithEngines program({Engine("rptengine.dll")});
  EXPECT_EQ(program.Ok("Express", "GetPrinterNames"), "Printer A\r\n打印机 B");
  EXPECT_EQ(program.Ok("Express", "SetPrinter:打印机 B"), "-1");
  EXPECT_EQ(program.Ok("Express", "GetCurPrinter:Sale"), "打印机 B");
  EXPECT_EQ(program.Ok("Express", "CreateNewTemplate:Sale,{}"), "1");
  EXPECT_EQ(program.Ok("Express", "Set_DataFields:名称,数量"), "1");
  const THttpAnswer loaded = program.Post("Express", "LoadDataFromJson", "[{\"名称\":\"绿茶\",\"数量\":2}]");
  EXPECT_EQ(loaded.Status, 200);
  EXPECT_EQ(loaded.Body, "20");

  program.Journal.Control("Print.delay_ms=1500\n");
  EXPECT_EQ(program.Ok("Express", "Print:Sale"), "0");  // answered while the window is up
  EXPECT_EQ(program.Ok("Express", "", "IsPrinting"), "1");
  int polls = 0;
  while (program.Ok("Express", "", "IsPrinting") == "1" && polls < 500) {
    ++polls;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_LT(polls, 500);
  EXPECT_EQ(program.Ok("Express", "", "version"), "5.3.1.20");

  std::vector<TEngineCall> prints;
  for (TEngineCall& call : program.Journal.Calls("rptengine"))
    if (call.Call == "Print") prints.push_back(std::move(call));
  ASSERT_EQ(prints.size(), 1u);
  EXPECT_EQ(prints[0].Args, "[\"Sale\",{\"printer\":\"打印机 B\",\"data_fields\":\"名称\",\"json_length\":20}]");
}

TEST(ExpressTest, EveryLoadDataFromJsonRequestReachesTheExpressDriverWithItsBodyWhole) {
  TProgramWithEngines program({Engine("rptengine.dll")});
  std::string body = "[";
  for (int row = 0; body.size() < 3'000'000; ++row)
    body += "{\"名称\":\"商品" + std::to_string(row) + "\",\"备注\":\"𠀀\"},";  // a four-byte character too
  body.back() = ']';
  const std::u16string decoded = DecodeUtf8Body(body);
  ASSERT_FALSE(decoded.empty());
  for (const char* type : {"Express", "ReportV10", "Barcode"}) {
    SCOPED_TRACE(type);
    program.Journal.Clear();
    const THttpAnswer answer = program.Post(type, "LoadDataFromJson", body);
    EXPECT_EQ(answer.Status, 200) << answer.Body;
    EXPECT_EQ(answer.Body, std::to_string(decoded.size()));
    const std::vector<TEngineCall> calls = program.Journal.Calls("rptengine");
    ASSERT_FALSE(calls.empty());
    const std::string described = "[{\"length\":" + std::to_string(decoded.size()) +
                                  ",\"fnv1a\":" + std::to_string(Fingerprint(decoded)) + ",";
    bool found = false;
    for (const TEngineCall& call : calls) found = found || (call.Call == "LoadDataFromJson" && call.Args.rfind(described, 0) == 0);
    EXPECT_TRUE(found) << described;
  }
}

TEST(ExpressTest, WithoutTheLibraryExpressRequestsFailWithTheLoadMessage) {
  TProgramWithEngines program({});  // no library beside it
  // Error answers carry the message as the program holds it: in its page, not UTF-8.
  const std::string loadError = ToProgramPage("无法加载 rptengine.dll，");
  for (const char* method : {"BeginPrint", "GetPrinterNames", "Print:Sale"}) {
    const THttpAnswer answer = program.Call("Express", method);
    EXPECT_EQ(answer.Status, 500) << method;
    EXPECT_EQ(answer.Body.rfind(loadError, 0), 0u) << method << ": " << answer.Body;
  }
  const THttpAnswer loaded = program.Post("Express", "LoadDataFromJson", "{}");
  EXPECT_EQ(loaded.Status, 500);
  EXPECT_EQ(loaded.Body.rfind(loadError, 0), 0u) << loaded.Body;
  // Unlike the other library drivers, which answer the empty text.
  EXPECT_EQ(program.Ok("Barcode", "BeginPrint"), "");
  EXPECT_EQ(program.Ok("Express", "", "version"), "");
  EXPECT_EQ(program.Ok("Express", "", "IsPrinting"), "0");
}

}  // namespace
}  // namespace trs::test
