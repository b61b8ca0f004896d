// The real engines' output paths: 1,000 labels with QR codes drawn to PDF, and a receipt of
// 1,000 detail lines laid out and written as ESC/POS, each beside the same data written as
// a plain binary packet (the cheapest thing the engine could do with it), measured in the
// same run; with the output size and the peak memory of the process.
#include <sys/resource.h>

#include <cstdio>
#include <string>
#include <vector>

#include "BenchClock.h"
#include "BillLayout.h"
#include "EscPos.h"
#include "LabelOutput.h"
#include "LabelStyle.h"
#include "QtRuntime.h"
#include "dataset/ClientDataSet.h"
#include "support/TablePacket.h"

namespace {

constexpr int Count = 1000;

double PeakMegabytes() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void Report(const char* what, double seconds, double plainSeconds, size_t bytes) {
  std::printf("%-46s %8.3f s   plain packet %8.4f s   ratio %7.0fx   output %7.1f KB   peak RSS %6.1f MB\n", what, seconds,
              plainSeconds, seconds / plainSeconds, static_cast<double>(bytes) / 1024.0, PeakMegabytes());
}

void Labels() {
  printkit::TLabelData data;
  data.Columns = {"品名", "条码"};
  for (int i = 0; i < Count; ++i) data.Rows.push_back({"商品" + std::to_string(i), "QR-" + std::to_string(100000 + i)});
  printkit::TLabelStyle style;
  style.Name = "bench";
  printkit::TLabelField name;
  name.Text = "[品名]";
  name.Box = {2, 2, 56, 6};
  printkit::TLabelField code;
  code.Barcode = true;
  code.Symbology = "qr";
  code.Text = "[品名] [条码]";
  code.Box = {20, 10, 25, 25};
  style.Fields = {name, code};
  size_t bytes = 0;
  const double seconds = trs::bench::BestSeconds(3, [&] { bytes = printkit::LabelJob(style, data, 1, 1).Bytes.size(); });
  const double plain = trs::bench::BestSeconds(3, [&] { trs::test::TablePacket(data.Columns, data.Rows); });
  Report("1,000 labels with QR codes to PDF", seconds, plain, bytes);
}

void Receipt() {
  const std::vector<std::string> columns = {"品名", "数量", "金额"};
  std::vector<std::vector<std::string>> rows;
  for (int i = 0; i < Count; ++i)
    rows.push_back({"商品名称较长的一行 " + std::to_string(i), std::to_string(i % 9 + 1), std::to_string(i) + ".50"});
  trs::TClientDataSet head, detail;
  head.SetData(trs::test::TablePacket({"单号"}, {{"NO.0001"}}));
  detail.SetData(trs::test::TablePacket(columns, rows));
  const printkit::TBillLayout layout{"销售单", std::nullopt, {}, {}, {"谢谢惠顾"}};
  size_t bytes = 0;
  const double seconds = trs::bench::BestSeconds(5, [&] {
    const printkit::TReceipt receipt = printkit::RenderBill(layout, {&head, {&detail}, &head}, 48, printkit::TCut::Partial);
    bytes = printkit::EscPosReceipt(receipt, "GB18030").size();
  });
  const double plain = trs::bench::BestSeconds(5, [&] { trs::test::TablePacket(columns, rows); });
  Report("receipt of 1,000 detail lines to ESC/POS", seconds, plain, bytes);
}

}  // namespace

int main() {
  printkit::EnsureGuiApplication();
  Labels();
  Receipt();
  return 0;
}
