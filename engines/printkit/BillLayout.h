// Bill layouts and how a bill becomes a receipt. Layouts are named in a JSON file (the
// [receipt] layouts= setting, bills.json by default):
//   { "销售单": { "title": "销售单",
//                "head": ["单号", "日期"],
//                "columns": [ {"field": "品名", "title": "商品", "width": 20, "align": "left"},
//                             {"field": "金额", "width": 10, "align": "right"} ],
//                "tail": ["合计"],
//                "footer": ["谢谢惠顾"] } }
// Every key may be left out. A name without a layout, or a layout without a key, takes the
// plain default: the name as the title, every field of the head table as "name: value"
// lines, every column of the detail tables in equal widths (numbers right-aligned), no tail
// fields, no footer.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "Receipt.h"

namespace trs {
class TClientDataSet;
}

namespace printkit {

struct TBillColumn {
  std::string Field;  // UTF-8
  std::string Title;
  int Width = 0;      // columns; 0 shares what is left equally
  std::optional<TAlign> Align;  // unset: right for numbers, left otherwise
};

struct TBillLayout {
  std::string Title;
  std::optional<std::vector<std::string>> HeadFields;  // unset: all
  std::vector<TBillColumn> Columns;                     // empty: all, in the table's order
  std::vector<std::string> TailFields;
  std::vector<std::string> Footer;
};

// The layout called `name` in the file at `path`; the plain default when the file or the
// name is missing. A file that is not valid JSON is an error (TPrintError), so a typo in
// it is seen rather than printing plain bills unnoticed.
TBillLayout LoadBillLayout(const std::string& path, const std::string& name);

// One bill: a head, detail tables, a tail (the staged tables as the bill files hold them).
struct TBill {
  trs::TClientDataSet* Head = nullptr;
  std::vector<trs::TClientDataSet*> Details;
  trs::TClientDataSet* Tail = nullptr;
};

TReceipt RenderBill(const TBillLayout& layout, const TBill& bill, int columns, TCut cut);

}  // namespace printkit
