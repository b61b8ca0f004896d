// The print kit's targets: what each form of target receives, and that every failure is
// a clear error within its time limit, never a job elsewhere.
#include <gtest/gtest.h>
#include <gmock/gmock.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "PrintSettings.h"
#include "PrintTarget.h"
#include "support/PrinterDoubles.h"

namespace {

using namespace std::chrono_literals;
using printkit::TJob;
using printkit::TJobFormat;
using printkit::TPrintError;
using printkit::TTargetKind;
using testing::HasSubstr;
namespace fs = std::filesystem;

// Printer commands with every byte value, line feeds included: nothing may be translated.
std::string AllBytes() {
  std::string bytes;
  for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
  return bytes + "\n\r\n";
}

TJob RawJob(const std::string& bytes) { return TJob{"receipt", TJobFormat::Raw, bytes, {}}; }

TEST(PrintTargetTest, ReadsEachFormOfTarget) {
  struct TCase {
    std::string Text;
    TTargetKind Kind;
    std::string Where;
  };
  const std::vector<TCase> cases = {
      {"cups:POS80", TTargetKind::Cups, "POS80"},
      {"tcp://192.0.2.7:9100", TTargetKind::Tcp, "192.0.2.7:9100"},
      {"/dev/usb/lp0", TTargetKind::Device, "/dev/usb/lp0"},
      {"pdf:/srv/labels", TTargetKind::PdfFolder, "/srv/labels/"},
  };
  for (const TCase& c : cases) {
    const printkit::TTarget target = printkit::ParseTarget(c.Text);
    EXPECT_EQ(target.Kind, c.Kind) << c.Text;
    EXPECT_EQ(target.Where, c.Where) << c.Text;
  }
  for (const char* wrong : {"lpt1", "cups:", "tcp://host-without-port", "ipp://printer/queue"})
    EXPECT_THROW(printkit::ParseTarget(wrong), TPrintError) << wrong;
}

TEST(PrintTargetTest, NothingConfiguredMeansPdfFilesInTheUsersDataFolder) {
  setenv("XDG_DATA_HOME", "/home/someone/.data", 1);
  const printkit::TTarget target = printkit::ParseTarget("");
  unsetenv("XDG_DATA_HOME");
  EXPECT_EQ(target.Kind, TTargetKind::PdfFolder);
  EXPECT_EQ(target.Where, "/home/someone/.data/Tally/Quill/Printouts/");
}

TEST(PrintTargetTest, TcpPortReceivesTheBytesUnchanged) {
  const trs::test::TRawPortListener printer;
  const std::string bytes = AllBytes();
  const std::string target = "tcp://127.0.0.1:" + std::to_string(printer.Port());
  EXPECT_EQ(printkit::Deliver(printkit::ParseTarget(target), RawJob(bytes)), target);
  EXPECT_EQ(printer.Receive(), bytes);
}

TEST(PrintTargetTest, TcpFailuresAreClearErrorsWithinTheTimeLimit) {
  int closedPort = 0;
  { closedPort = trs::test::TRawPortListener().Port(); }
  const std::string closed = "tcp://127.0.0.1:" + std::to_string(closedPort);
  EXPECT_THAT([&] { printkit::Deliver(printkit::ParseTarget(closed), RawJob("x"), 1000ms); },
              testing::ThrowsMessage<TPrintError>(HasSubstr("cannot connect to " + closed)));

  // A printer that accepts but never reads: the write gives up at the limit.
  const trs::test::TRawPortListener stuck;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_THAT([&] { printkit::DeliverToTcp("127.0.0.1:" + std::to_string(stuck.Port()), std::string(64 << 20, 'x'), 300ms); },
              testing::ThrowsMessage<TPrintError>(HasSubstr("timed out writing")));
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
}

TEST(PrintTargetTest, DeviceFileReceivesTheBytesUnchangedAtTheLineSpeed) {
  const trs::test::TPtyPair line;
  const std::string bytes = AllBytes();
  printkit::DeliverToDevice(line.DevicePath(), bytes, 2000ms, 9600);
  EXPECT_EQ(line.Read(bytes.size()), bytes);
  EXPECT_EQ(line.OutputBaud(), 9600);
}

TEST(PrintTargetTest, MissingDeviceIsAClearError) {
  EXPECT_THAT([] { printkit::Deliver(printkit::ParseTarget("/dev/usb/lp-none"), RawJob("x")); },
              testing::ThrowsMessage<TPrintError>(HasSubstr("cannot open /dev/usb/lp-none")));
}

TEST(PrintTargetTest, PdfFolderWritesOneFilePerJobAndTakesPdfOnly) {
  const fs::path folder = fs::temp_directory_path() / ("trs-pdf-folder-" + std::to_string(::getpid()));
  fs::remove_all(folder);
  const printkit::TTarget target = printkit::ParseTarget("pdf:" + folder.string());
  const std::string first = printkit::Deliver(target, {"标签/1", TJobFormat::Pdf, "%PDF-1.4 one", {}});
  const std::string second = printkit::Deliver(target, {"标签/1", TJobFormat::Pdf, "%PDF-1.4 two", {}});
  EXPECT_NE(first, second);
  EXPECT_THAT(fs::path(first).filename().string(), testing::StartsWith("标签_1-"));
  std::ifstream in(first);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "%PDF-1.4 one");
  EXPECT_THROW(printkit::Deliver(target, RawJob("\x1b@")), TPrintError);
  EXPECT_THROW(printkit::Deliver(printkit::ParseTarget("/dev/null"), {"x", TJobFormat::Pdf, "%PDF", {}}), TPrintError);
  fs::remove_all(folder);
}

class PrivateCupsTest : public testing::Test {
 protected:
  void SetUp() override {
    if (!trs::test::TPrivateCups::Available()) GTEST_SKIP() << "cupsd is not installed (scripts/setup.sh installs it)";
    Cups = std::make_unique<trs::test::TPrivateCups>();
  }
  std::unique_ptr<trs::test::TPrivateCups> Cups;
};

TEST_F(PrivateCupsTest, RawQueueDeliversTheBytesUnchanged) {
  const trs::test::TRawPortListener printer;
  Cups->AddRawQueue("POS80", printer.Port());
  const std::string bytes = AllBytes();
  EXPECT_THAT(printkit::Deliver(printkit::ParseTarget("cups:POS80"), RawJob(bytes)), HasSubstr("cups:POS80 job"));
  EXPECT_EQ(printer.Receive(10s), bytes);
}

TEST_F(PrivateCupsTest, PdfJobReachesTheQueueWhole) {
  const trs::test::TRawPortListener printer;
  Cups->AddRawQueue("Office", printer.Port());
  const std::string pdf = "%PDF-1.4\n" + AllBytes() + "\n%%EOF\n";
  printkit::Deliver(printkit::ParseTarget("cups:Office"), {"bill", TJobFormat::Pdf, pdf, "media=A5"});
  EXPECT_EQ(printer.Receive(10s), pdf);
}

TEST_F(PrivateCupsTest, UnknownQueueFailsAndPrintsNowhere) {
  const trs::test::TRawPortListener printer;
  Cups->AddRawQueue("POS80", printer.Port());
  EXPECT_THAT([] { printkit::Deliver(printkit::ParseTarget("cups:POS58"), RawJob("x")); },
              testing::ThrowsMessage<TPrintError>(HasSubstr("the CUPS queue \"POS58\" does not exist")));
  EXPECT_EQ(printer.Receive(500ms), "");
}

TEST(PrintTargetTest, UnreachableCupsServerIsAnError) {
  setenv("CUPS_SERVER", "/nonexistent/cups.sock", 1);
  EXPECT_THAT([] { printkit::Deliver(printkit::ParseTarget("cups:POS80"), RawJob("x"), 500ms); },
              testing::ThrowsMessage<TPrintError>(HasSubstr("cannot reach the CUPS server")));
  unsetenv("CUPS_SERVER");
}

}  // namespace
