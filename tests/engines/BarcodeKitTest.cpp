// BarcodeKit.dll, the real one: label sheets and rolls as PDF, ZPL and TSPL, every barcode
// read back by a decoder (zbarimg on the PDF at 600 dpi, on the unpacked raster otherwise).
#include <gtest/gtest.h>
#include <gmock/gmock.h>

#include <algorithm>
#include <fstream>
#include <regex>
#include <thread>

#include "RealEngine.h"
#include "engineabi/BarcodeKit.h"
#include "support/PrinterDoubles.h"
#include "support/TablePacket.h"

namespace trs::test {
namespace {

namespace fs = std::filesystem;
using testing::HasSubstr;
using testing::UnorderedElementsAreArray;

// The label rows as the driver hands them over.
struct TLabelRows : TPacketVariant {
  TLabelRows(const std::vector<std::string>& fields, const std::vector<std::vector<std::string>>& rows)
      : TPacketVariant(TablePacket(fields, rows)) {}
};

// "QR-Code:text" lines of zbarimg, sorted.
std::vector<std::string> Decode(const std::string& image) {
  std::vector<std::string> symbols;
  std::istringstream lines(RunForOutput("zbarimg --quiet '" + image + "' 2>/dev/null"));
  for (std::string line; std::getline(lines, line);) symbols.push_back(line);
  std::sort(symbols.begin(), symbols.end());
  return symbols;
}

// Every page of the PDF at 600 dpi, decoded.
std::vector<std::string> DecodePdf(const fs::path& pdf) {
  const fs::path pages = pdf.parent_path().parent_path() / "pages";  // beside the printouts
  fs::create_directories(pages);
  RunForOutput("pdftoppm -r 600 -gray '" + pdf.string() + "' '" + (pages / "page").string() + "'");
  std::vector<std::string> symbols;
  for (const auto& page : fs::directory_iterator(pages))
    for (std::string& symbol : Decode(page.path().string())) symbols.push_back(std::move(symbol));
  std::sort(symbols.begin(), symbols.end());
  return symbols;
}

// What is decoded inside a box of a page (mm from the top left), at 600 dpi.
std::vector<std::string> DecodePdfRegion(const fs::path& pdf, int page, double x, double y, double width, double height) {
  const auto dots = [](double mm) { return std::to_string(static_cast<int>(mm * 600 / 25.4)); };
  const fs::path image = pdf.parent_path().parent_path() / "region";
  RunForOutput("pdftoppm -r 600 -gray -singlefile -f " + std::to_string(page) + " -l " + std::to_string(page) + " -x " +
               dots(x) + " -y " + dots(y) + " -W " + dots(width) + " -H " + dots(height) + " '" + pdf.string() + "' '" +
               image.string() + "'");
  return Decode(image.string() + ".pgm");
}

// A 1-bit raster (1 black) as a PBM, each dot 3 × 3 and a white margin, for the decoder.
fs::path WritePbm(const fs::path& path, const std::string& bits, int rowBytes, int height, bool zeroIsBlack) {
  constexpr int Scale = 3, Margin = 24;
  const int width = rowBytes * 8;
  const int outWidth = width * Scale + 2 * Margin, outHeight = height * Scale + 2 * Margin;
  std::ofstream out(path, std::ios::binary);
  out << "P1\n" << outWidth << " " << outHeight << "\n";
  for (int y = 0; y < outHeight; ++y) {
    for (int x = 0; x < outWidth; ++x) {
      const int sx = (x - Margin) / Scale, sy = (y - Margin) / Scale;
      bool black = false;
      if (x >= Margin && y >= Margin && sx < width && sy < height) {
        const bool bit = (static_cast<unsigned char>(bits[static_cast<size_t>(sy * rowBytes + sx / 8)]) >> (7 - sx % 8)) & 1;
        black = zeroIsBlack ? !bit : bit;
      }
      out << (black ? '1' : '0');
    }
    out << '\n';
  }
  return path;
}

class BarcodeKitTest : public testing::Test {
 protected:
  void UseStyles(const TRealEngine& engine, const std::string& json) {
    std::ofstream(engine.ConfigFolder() / "labels.json") << json;
  }
  static fs::path OnlyPdf(const TRealEngine& engine) {
    const fs::path folder = engine.DataFolder() / "Printouts";
    std::vector<fs::path> files;
    if (fs::exists(folder))
      for (const auto& entry : fs::directory_iterator(folder)) files.push_back(entry.path());
    EXPECT_EQ(files.size(), 1u);
    return files.empty() ? fs::path() : files[0];
  }
};

const char* const SheetStyle = R"({"货架": {
    "media": {"width": 210, "height": 297},
    "grid": {"columns": 3, "rows": 8, "left": 7, "top": 10.5, "width": 64, "height": 35, "hgap": 2.5},
    "fields": [
      {"type": "text", "text": "[品名]", "box": [3, 2, 58, 6], "size": 4},
      {"type": "barcode", "text": "[条码]", "symbology": "code128", "box": [3, 9, 58, 14], "module": 0.25},
      {"type": "barcode", "text": "[品名] [条码]", "symbology": "qr", "box": [44, 23, 11, 11], "module": 0.2}]},
  "小卷": {"media": {"width": 60, "height": 40}, "form": "zpl",
    "fields": [{"type": "barcode", "text": "[条码]", "symbology": "code128", "box": [2, 2, 56, 20], "module": 0.25},
               {"type": "barcode", "text": "[品名]", "symbology": "qr", "box": [20, 23, 16, 16], "module": 0.25}]}})";

TEST_F(BarcodeKitTest, SheetOfLabelsFromTheStartSlotDecodesEverySymbol) {
  const TRealEngine engine("BarcodeKit.dll", "");
  UseStyles(engine, SheetStyle);
  TLabelRows rows({"品名", "条码"}, {{"可口可乐", "CODE-0001"}, {"面包", "CODE-0002"}});
  engine.Export<BarcodeKit::BarConfigCdsFn>("BarConfigCds")(0, rows.Packet());
  engine.Export<BarcodeKit::SetStartPrintPositionFn>("SetStartPrintPosition")(5);
  ASSERT_EQ(engine.Export<BarcodeKit::PrintBarOutExFn>("PrintBarOutEx")(2, "货架"), 1);

  const fs::path pdf = OnlyPdf(engine);
  EXPECT_THAT(RunForOutput("pdfinfo '" + pdf.string() + "'"), testing::ContainsRegex("Pages: +1\n"));
  // Two copies of each row in slots 5 to 8 (0-based 4 to 7), each label readable on its own.
  for (int slot = 4; slot < 8; ++slot) {
    const double x = 7 + (slot % 3) * (64 + 2.5), y = 10.5 + (slot / 3) * 35;
    const std::string code = slot < 6 ? "CODE-0001" : "CODE-0002", name = slot < 6 ? "可口可乐" : "面包";
    EXPECT_THAT(DecodePdfRegion(pdf, 1, x, y, 64, 35),
                UnorderedElementsAreArray({"CODE-128:" + code, "QR-Code:" + name + " " + code}))
        << "slot " << slot + 1;
  }
  EXPECT_THAT(DecodePdfRegion(pdf, 1, 7, 10.5, 3 * 66.5, 35), testing::IsEmpty());  // slots 1 to 3
  // The first label's text sits in slot 5 too: the second column of the second row.
  const std::string boxes = RunForOutput("pdftotext -bbox '" + pdf.string() + "' -");
  std::smatch first;
  ASSERT_TRUE(std::regex_search(boxes, first, std::regex("xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\"[^>]*>可口可乐<")));
  const double xMm = std::stod(first[1]) * 25.4 / 72, yMm = std::stod(first[2]) * 25.4 / 72;
  EXPECT_NEAR(xMm, 7 + 64 + 2.5 + 3, 1.5);
  EXPECT_NEAR(yMm, 10.5 + 35 + 2, 1.5);
}

TEST_F(BarcodeKitTest, StartSlotAppliesToOneSheetAndOnePrint) {
  const TRealEngine engine("BarcodeKit.dll", "");
  UseStyles(engine, SheetStyle);
  TLabelRows rows({"品名", "条码"}, {{"水", "A1"}});
  engine.Export<BarcodeKit::BarConfigCdsFn>("BarConfigCds")(0, rows.Packet());
  engine.Export<BarcodeKit::SetStartPrintPositionFn>("SetStartPrintPosition")(20);
  ASSERT_EQ(engine.Export<BarcodeKit::PrintBarOutExFn>("PrintBarOutEx")(6, "货架"), 1);  // slots 20-24, then 1
  EXPECT_THAT(RunForOutput("pdfinfo '" + OnlyPdf(engine).string() + "'"), testing::ContainsRegex("Pages: +2\n"));
}

TEST_F(BarcodeKitTest, RollLabelsGoToALabelPrinterAsZplThatDecodes) {
  const TRawPortListener printer;
  const TRealEngine engine("BarcodeKit.dll", "[labels]\ntarget=tcp://127.0.0.1:" + std::to_string(printer.Port()) + "\n");
  UseStyles(engine, SheetStyle);
  TLabelRows rows({"品名", "条码"}, {{"牛奶", "6901234567892"}});
  engine.Export<BarcodeKit::BarConfigCdsFn>("BarConfigCds")(0, rows.Packet());
  ASSERT_EQ(engine.Export<BarcodeKit::PrintBarOutExFn>("PrintBarOutEx")(3, "小卷"), 1);
  const std::string zpl = printer.Receive();
  // (std::regex recurses per character: the header only, the hex data by hand.)
  std::smatch graphic;
  ASSERT_TRUE(std::regex_search(zpl.begin(), zpl.begin() + std::min<size_t>(zpl.size(), 80), graphic,
                                std::regex(R"(^\^XA\^PW(\d+)\^LL(\d+)\^FO0,0\^GFA,(\d+),\d+,(\d+),)")));
  EXPECT_EQ(graphic[1], "480");  // 60 mm at 8 dots/mm
  EXPECT_EQ(graphic[2], "320");
  const size_t dataStart = static_cast<size_t>(graphic.length(0)), dataEnd = zpl.find("^FS", dataStart);
  ASSERT_NE(dataEnd, std::string::npos);
  EXPECT_EQ(zpl.substr(dataEnd), "^FS^PQ3^XZ\n");
  std::string bits;
  const std::string hex = zpl.substr(dataStart, dataEnd - dataStart);
  for (size_t i = 0; i + 1 < hex.size(); i += 2) bits += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  ASSERT_EQ(bits.size(), std::stoul(graphic[3]));
  const fs::path image = WritePbm(engine.ConfigFolder() / "zpl.pbm", bits, std::stoi(graphic[4]), 320, false);
  EXPECT_THAT(Decode(image.string()), UnorderedElementsAreArray({"CODE-128:6901234567892", "QR-Code:牛奶"}));
}

TEST_F(BarcodeKitTest, TsplLabelsDecodeToo) {
  const TPtyPair printer;
  const TRealEngine engine("BarcodeKit.dll", "");
  UseStyles(engine, R"({"tspl": {"media": {"width": 50, "height": 30}, "form": "tspl", "target": ")" +
                        printer.DevicePath() + R"(", "fields": [{"type": "barcode", "text": "[条码]",
                        "symbology": "ean13", "box": [4, 3, 42, 20], "module": 0.25, "hrt": true}]}})");
  TLabelRows rows({"条码"}, {{"690123456789"}});  // zint adds the check digit
  engine.Export<BarcodeKit::BarConfigCdsFn>("BarConfigCds")(0, rows.Packet());
  // Read while the engine writes, as a printer would: the label is larger than the pty's buffer.
  std::string tspl;
  std::thread reader([&] { tspl = printer.ReadAll(500ms, 5000ms); });
  EXPECT_EQ(engine.Export<BarcodeKit::PrintBarOutExFn>("PrintBarOutEx")(1, "tspl"), 1);
  reader.join();
  std::smatch header;
  ASSERT_TRUE(std::regex_search(tspl.cbegin(), tspl.cbegin() + std::min<std::ptrdiff_t>(static_cast<std::ptrdiff_t>(tspl.size()), 80), header,
                                std::regex(R"(^SIZE 50.0 mm,30.0 mm\r\nGAP 2 mm,0 mm\r\nCLS\r\nBITMAP 0,0,(\d+),(\d+),0,)")));
  const int rowBytes = std::stoi(header[1]), height = std::stoi(header[2]);
  const std::string bits = tspl.substr(static_cast<size_t>(header.position(0) + header.length(0)),
                                       static_cast<size_t>(rowBytes * height));
  EXPECT_THAT(tspl.substr(tspl.size() - 13), "\r\nPRINT 1,1\r\n");
  EXPECT_THAT(Decode(WritePbm(engine.ConfigFolder() / "tspl.pbm", bits, rowBytes, height, true).string()),
              UnorderedElementsAreArray({"EAN-13:6901234567892"}));
}

TEST_F(BarcodeKitTest, BoxTooSmallForTheMinimumModuleIsRefusedNotPrintedUnreadable) {
  const TRealEngine engine("BarcodeKit.dll", "");
  UseStyles(engine, R"({"窄": {"fields": [{"type": "barcode", "text": "[条码]", "box": [1, 1, 20, 10], "module": 0.3}]}})");
  TLabelRows rows({"条码"}, {{"ABCDEFGHIJKLMNOPQRSTUVWXYZ"}});
  engine.Export<BarcodeKit::BarConfigCdsFn>("BarConfigCds")(0, rows.Packet());
  testing::internal::CaptureStderr();
  EXPECT_EQ(engine.Export<BarcodeKit::PrintBarOutExFn>("PrintBarOutEx")(1, "窄"), 0);
  EXPECT_THAT(testing::internal::GetCapturedStderr(), HasSubstr("needs a box"));
  EXPECT_FALSE(fs::exists(engine.DataFolder() / "Printouts"));
}

TEST_F(BarcodeKitTest, StyleNamesAndTheDefaultStyle) {
  const TRealEngine engine("BarcodeKit.dll", "");
  BSTR names = nullptr;
  engine.Export<BarcodeKit::GetStyleNamesFn>("GetStyleNames")(&names);
  EXPECT_EQ(SysStringLen(names), 0u);  // no style file yet
  SysFreeString(names);

  // Without styles the built-in label prints the first column as a barcode.
  TLabelRows rows({"条码", "品名"}, {{"X-42", "酱油"}});
  engine.Export<BarcodeKit::BarConfigCdsFn>("BarConfigCds")(0, rows.Packet());
  ASSERT_EQ(engine.Export<BarcodeKit::PrintBarOutExFn>("PrintBarOutEx")(1, nullptr), 1);
  EXPECT_THAT(DecodePdf(OnlyPdf(engine)), UnorderedElementsAreArray({"CODE-128:X-42"}));
  EXPECT_THAT(RunForOutput("pdftotext '" + OnlyPdf(engine).string() + "' -"), HasSubstr("酱油"));

  UseStyles(engine, SheetStyle);
  names = nullptr;
  engine.Export<BarcodeKit::GetStyleNamesFn>("GetStyleNames")(&names);
  EXPECT_EQ(std::u16string(names, SysStringLen(names)), u"小卷\r\n货架");
  SysFreeString(names);
  EXPECT_EQ(engine.Export<BarcodeKit::PrintBarOutExFn>("PrintBarOutEx")(1, "没有"), 0);
  EXPECT_EQ(engine.Export<BarcodeKit::PrintBarOutExFn>("PrintBarOutEx")(0, "货架"), 0);
}

}  // namespace
}  // namespace trs::test
