// PosKit.dll, the real one: the cash drawer pulse through the receipt printer's target and
// the customer display on a serial line (pty pairs stand in for both).
#include <gtest/gtest.h>
#include <gmock/gmock.h>

#include <thread>

#include "RealEngine.h"
#include "engineabi/PosKit.h"
#include "support/EscPosDecoder.h"
#include "support/PrinterDoubles.h"

namespace trs::test {
namespace {

TEST(PosKitTest, DrawerPulseArrivesOnTheReceiptPrintersDevice) {
  const TPtyPair printer;
  const TRealEngine engine("PosKit.dll", "[receipt]\ntarget=" + printer.DevicePath() + "\ndrawer=1,30,200\n");
  engine.Export<PosKit::PosOpenCashBoxFn>("PosOpenCashBox")();
  EXPECT_EQ(printer.Read(5), std::string("\x1bp\x01\x1e\xc8", 5));
}

TEST(PosKitTest, DrawerPulseGoesOverTcpWithTheDefaultPulse) {
  const TRawPortListener printer;
  const TRealEngine engine("PosKit.dll", "[receipt]\ntarget=tcp://127.0.0.1:" + std::to_string(printer.Port()) + "\n");
  engine.Export<PosKit::PosOpenCashBoxFn>("PosOpenCashBox")();
  const TPrintedReceipt printed = DecodeEscPos(printer.Receive());
  ASSERT_EQ(printed.DrawerPulses.size(), 1u);
  EXPECT_EQ(printed.DrawerPulses[0], (std::array<int, 3>{0, 25, 250}));
}

TEST(PosKitTest, DisplayTextArrivesOnTheSerialLineInGb18030) {
  const TPtyPair display;
  const TRealEngine engine("PosKit.dll",
                           "[display]\ndevice=" + display.DevicePath() + "\nbaud=9600\nprotocol=cd5220\n");
  const auto screenOut = engine.Export<PosKit::PosScreenOutFn>("PosScreenOut");
  screenOut(1, "合计 12.50");  // the test process's narrow text is UTF-8
  screenOut(2, "THANKS");
  const std::string expected = "\x1bQA" + std::string("\xba\xcf\xbc\xc6") + " 12.50\r\x1bQBTHANKS\r";
  EXPECT_EQ(display.Read(expected.size()), expected);
  EXPECT_EQ(display.OutputBaud(), 9600);
}

TEST(PosKitTest, PriceDisplayLightsTheLampItIsAskedFor) {
  const TPtyPair display;
  const TRealEngine engine("PosKit.dll", "[display]\ndevice=" + display.DevicePath() + "\nprotocol=led8\n");
  engine.Export<PosKit::PosScreenOutFn>("PosScreenOut")(3, "100.00");
  EXPECT_EQ(display.Read(12), "\x1bs3\x1bQA100.00\r");
  EXPECT_EQ(display.OutputBaud(), 2400);  // the shipped default
}

TEST(PosKitTest, FailuresAreLoggedAndReturnWithoutTouchingAnythingElse) {
  const TPtyPair display;
  const TRealEngine engine("PosKit.dll", "[receipt]\ntarget=/dev/usb/lp-none\n[display]\ndevice=" +
                                             display.DevicePath() + "\nprotocol=cd5220\n");
  testing::internal::CaptureStderr();
  engine.Export<PosKit::PosOpenCashBoxFn>("PosOpenCashBox")();
  engine.Export<PosKit::PosScreenOutFn>("PosScreenOut")(7, "x");
  const std::string log = testing::internal::GetCapturedStderr();
  EXPECT_NE(log.find("cannot open the cash drawer: cannot open /dev/usb/lp-none"), std::string::npos) << log;
  EXPECT_NE(log.find("has lines 1 and 2"), std::string::npos) << log;
  EXPECT_EQ(display.ReadAll(100ms, 300ms), "");
}

TEST(PosKitTest, DisplayCommandsFromManyRequestsArriveWhole) {
  const TPtyPair display;
  const TRealEngine engine("PosKit.dll", "[display]\ndevice=" + display.DevicePath() + "\nprotocol=led8\n");
  const auto screenOut = engine.Export<PosKit::PosScreenOutFn>("PosScreenOut");
  constexpr int Threads = 4, Each = 10;
  std::string received;
  std::thread reader([&] { received = display.Read(Threads * Each * 13, 10s); });
  std::vector<std::thread> requests;
  for (int t = 0; t < Threads; ++t)
    requests.emplace_back([&, t] {
      for (int i = 0; i < Each; ++i) screenOut(t + 1, "100.00");
    });
  for (std::thread& request : requests) request.join();
  reader.join();
  // 40 commands of 13 bytes, none cut into by another.
  ASSERT_EQ(received.size(), static_cast<size_t>(Threads * Each * 13));
  for (size_t at = 0; at < received.size(); at += 13)
    EXPECT_THAT(received.substr(at, 13), testing::MatchesRegex("\x1bs[1-4]\x1bQA100\\.00\r")) << at;
}

TEST(PosKitTest, SettingsWindowNeedsADisplayAndSaysWhereTheSettingsAre) {
  const TRealEngine engine("PosKit.dll", "");
  testing::internal::CaptureStderr();
  engine.Export<PosKit::HidePageFn>("HidePage")(1);
  engine.Export<PosKit::ShowPosCfgFn>("ShowPosCfg")(0);
  const std::string log = testing::internal::GetCapturedStderr();
  EXPECT_NE(log.find("no display to show the printing settings on"), std::string::npos) << log;
  EXPECT_EQ(engine.Export<PosKit::GetIsShowedFormFn>("GetIsShowedForm")(), 0);
}

}  // namespace
}  // namespace trs::test
