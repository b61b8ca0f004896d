// The express driver against the stand-in rptengine.dll, loaded for real: the command table,
// the answer variable, when the printer object is obtained and released, the library's
// windows run by the dialog runner, "version", and the missing library.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <tuple>
#include <thread>

#include "DriverCalls.h"
#include "drivers/fuEshopReport.h"
#include "support/RecordingDesktop.h"
#include "support/TestOs.h"
#include "support/StandInEngines.h"

namespace trs::test {
namespace {

using namespace std::chrono_literals;

constexpr auto Patience = 10s;

// The printer operations among the journal's lines (GetIntf, reference counting and the
// library's own loading left out).
bool IsOperation(const TEngineCall& call) {
  static const std::set<std::string> others = {"GetIntf", "AddRef", "Release", "Loaded", "Unloaded"};
  return others.count(call.Call) == 0;
}

class EShopReportTest : public testing::Test {
 protected:
  // Gives the driver a product directory holding `variant` of the library (none: no library).
  void UseLibrary(const std::string& variant = "main") {
    if (variant != "none") Product.Install(StandInEngine("rptengine.dll", variant == "main" ? "" : variant), "rptengine.dll");
    Tag(Driver, TProductDirectory::Tag);
  }

  // Every dialog of the test has ended and the runs have let go of their configurers.
  void EndDialogs() {
    ASSERT_TRUE(WaitForDialogWorkers(std::chrono::duration_cast<std::chrono::milliseconds>(Patience)));
    Desktop.RunPostedWork();
  }
  void TearDown() override { EndDialogs(); }
  // Ends the driver (and with it the configurer it keeps) and every dialog it started.
  void DropDriver() {
    DriverHolder.reset();
    EndDialogs();
  }
  // Registers `directory` (with its trailing "/") under a further product tag.
  void AddTag(const std::string& tag, const std::string& directory) const { Product.Register(tag, directory); }

  std::vector<TEngineCall> Operations() const {
    std::vector<TEngineCall> operations;
    for (TEngineCall& call : Journal.Calls("rptengine"))
      if (IsOperation(call)) operations.push_back(std::move(call));
    return operations;
  }
  std::vector<TEngineCall> CallsNamed(const std::string& name) const {
    std::vector<TEngineCall> calls;
    for (TEngineCall& call : Journal.Calls("rptengine"))
      if (call.Call == name) calls.push_back(std::move(call));
    return calls;
  }
  int LoadJson(const WideString& json) {
    TLockGuard guard(Driver.CallLock);
    return Driver.LoadDataFromJson(json);
  }
  size_t PrinterObjectsObtained() const { return CallsNamed("GetIntf").size(); }
  // The serial numbers of the printer objects whose count has not yet come back to 0.
  std::set<std::string> LivePrinterObjects() const {
    std::set<std::string> live;
    for (const TEngineCall& call : Journal.Calls("rptengine")) {
      const std::string serial = call.Args.substr(1, call.Args.find(',') - 1);
      if (call.Call == "GetIntf") live.insert(serial);
      if (call.Call == "Release" && call.Args.size() > 2 && call.Args.compare(call.Args.size() - 3, 3, ",0]") == 0)
        live.erase(serial);
    }
    return live;
  }

  // Declared in this order so that they go in the reverse one: the driver, then the posted
  // ends of its runs (which release their printer objects), then the library.
  TProductDirectory Product{"express"};
  TEngineJournal Journal;
  TRptEngineLoader Loader;
  TRecordingDesktop Desktop;
  std::unique_ptr<TEShopReport> DriverHolder = std::make_unique<TEShopReport>(Loader);
  TEShopReport& Driver = *DriverHolder;
};

TEST_F(EShopReportTest, CommandTable) {
  UseLibrary();
  struct TCase {
    const char* Method;
    const char* Args;
    const char* Control;
    const char* Answer;
    const char* Call;  // the library operation called, "" for none
    const char* CallArgs;
  };
  const TCase cases[] = {
      {"GetCurPrinter", "Sale", "", "-1", "GetCurPrinter", "[\"Sale\",\"-1\"]"},  // nothing chosen yet
      {"CreateNewTemplate", "Sale, {\"page\":1}", "", "1", "CreateNewTemplate", "[\"Sale\",\"{\\\"page\\\":1}\"]"},
      {"CreateNewTemplate", "Sale,again", "", "0", "CreateNewTemplate", "[\"Sale\",\"again\"]"},
      // 16-bit truth values, sign-extended.
      {"CheckTemplateExist", "Sale", "", "-1", "CheckTemplateExist", "[\"Sale\"]"},
      {"CheckTemplateExist", "Missing", "", "0", "CheckTemplateExist", "[\"Missing\"]"},
      {"SetPrinter", "打印机 B", "", "-1", "SetPrinter", "[\"打印机 B\"]"},
      {"SetPrinter", "Nowhere", "", "0", "SetPrinter", "[\"Nowhere\"]"},
      {"SetPrinter", "Nowhere", "SetPrinter.result=7\n", "7", "SetPrinter", "[\"Nowhere\"]"},
      // Only the first item reaches the field lists.
      {"Set_DataFields", "Name, Qty ,Price", "", "1", "Set_DataFields", "[\"Name\"]"},
      {"Set_DisplayFields", "名称", "", "1", "Set_DisplayFields", "[\"名称\"]"},
      {"Set_DataFields", "Name", "Set_DataFields.fails=no fields\n", "-1", "Set_DataFields", "[\"Name\"]"},
      {"set_displayfields", "Name", "Set_DisplayFields.fails=no fields\n", "-1", "Set_DisplayFields", "[\"Name\"]"},
      // Booleans as truth values; a text that is no Boolean never reaches the library.
      {"Set_PreviewPrintVisible", "True", "", "1", "Set_PreviewPrintVisible", "[-1]"},
      {"Set_PreviewPrintVisible", "fALSE", "", "1", "Set_PreviewPrintVisible", "[0]"},
      {"Set_PreviewPrintVisible", "5", "", "1", "Set_PreviewPrintVisible", "[-1]"},
      {"Set_PreviewPrintVisible", "yes", "", "-1", "", ""},
      {"Set_DesginPrintVisible", "0", "", "1", "Set_DesginPrintVisible", "[0]"},
      {"Set_DesginPrintVisible", "on", "", "-1", "", ""},
      {"Set_DesginPrintVisible", "1", "Set_DesginPrintVisible.fails=busy\n", "-1", "Set_DesginPrintVisible", "[-1]"},
      // The answer variable reaches the library holding "-1"; it may replace it or leave it.
      {"GetPrinterNames", "", "", "Printer A\r\n打印机 B", "GetPrinterNames", "[\"-1\"]"},
      {"GetPrinterNames", "", "Printers=Office\n", "Office", "GetPrinterNames", "[\"-1\"]"},
      {"GetPrinterNames", "", "GetPrinterNames.result=\n", "-1", "GetPrinterNames", "[\"-1\"]"},  // stores null
      {"GetPrinterNames", "", "GetPrinterNames.leaves_answer=1\n", "-1", "GetPrinterNames", "[\"-1\"]"},
      {"GetCurPrinter", "Sale", "", "打印机 B", "GetCurPrinter", "[\"Sale\",\"-1\"]"},
      {"GetCurPrinter", "Sale", "GetCurPrinter.result=\n", "-1", "GetCurPrinter", "[\"Sale\",\"-1\"]"},
      // The base's staging commands come first; unknown names answer "-1" without a call.
      {"AddDataTable", "", "", "1", "", ""},
      {"Frobnicate", "x", "", "-1", "", ""},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::string(c.Method) + ":" + c.Args + " / " + c.Control);
    Journal.Control(c.Control);
    Journal.Clear();
    EXPECT_EQ(Invoke(Driver, c.Method, c.Args), c.Answer);
    const std::vector<TEngineCall> operations = Operations();
    if (*c.Call == '\0') {
      EXPECT_TRUE(operations.empty()) << operations.front().Call;
    } else {
      ASSERT_EQ(operations.size(), 1u);
      EXPECT_EQ(operations[0].Call, c.Call);
      EXPECT_EQ(operations[0].Args, c.CallArgs);
    }
  }
}

TEST_F(EShopReportTest, MissingItemsFailWithTheListIndexError) {
  UseLibrary();
  const std::tuple<const char*, const char*, int> cases[] = {
      {"PrintEx", "Sale", 1},       {"PrintEx", "", 1},  // item 1 is fetched first
      {"CreateNewTemplate", "Sale", 1}, {"GetCurPrinter", "", 0},
      {"Print", "", 0},             {"SetPrinter", "", 0}, {"Set_PreviewPrintVisible", "", 0},
  };
  for (const auto& [method, args, index] : cases) {
    SCOPED_TRACE(method);
    EXPECT_EQ(ErrorOf([&, m = method, a = args] { Invoke(Driver, m, a); }), "List index out of bounds (" + std::to_string(index) + ")");
  }
  EXPECT_TRUE(Operations().empty());
}

TEST_F(EShopReportTest, PublishedOperationsAndUnknownNamesReleaseThePrinterObjectTheFourCommandsKeepIt) {
  UseLibrary();
  // Each step: the method, and how many printer objects have been obtained after it.
  const std::tuple<const char*, const char*, size_t> steps[] = {
      {"GetPrinterNames", "", 1}, {"GetCurPrinter", "x", 1}, {"CreateNewTemplate", "A,B", 1},
      {"AddDataTable", "", 1},    {"SetPrinter", "Printer A", 1},  // released after it
      {"GetPrinterNames", "", 2}, {"Unknown", "", 2},              // released after it
      {"CheckTemplateExist", "A", 3}, {"Set_DataFields", "F", 4}, {"PrintEx", "A,2", 5},
      {"PrintEx", "A,3", 5},
  };
  for (const auto& [method, args, obtained] : steps) {
    SCOPED_TRACE(method);
    Invoke(Driver, method, args);
    EXPECT_EQ(PrinterObjectsObtained(), obtained);
  }
  EXPECT_EQ(LoadJson(u"{}"), 2);  // on the object kept by PrintEx
  EXPECT_EQ(PrinterObjectsObtained(), 5u);
  EndDialogs();
  EXPECT_EQ(LivePrinterObjects(), std::set<std::string>{"5"});
}

TEST_F(EShopReportTest, DialogActionsAnswerAtOnceAndRunTheirKindOnAWorker) {
  UseLibrary();
  ASSERT_EQ(Invoke(Driver, "SetPrinter", "Printer A"), "-1");
  ASSERT_EQ(Invoke(Driver, "Set_DataFields", "Name"), "1");
  ASSERT_EQ(LoadJson(u"[{\"Name\":\"茶\"}]"), 14);
  const std::tuple<const char*, const char*, const char*> cases[] = {
      {"Print", "Sale", "[\"Sale\",{\"printer\":\"Printer A\",\"data_fields\":\"Name\",\"json_length\":14}]"},
      {"PrintEx", "Sale, 2 copies", "[\"Sale\",\"2 copies\",{\"printer\":\"Printer A\",\"data_fields\":\"Name\",\"json_length\":14}]"},
      {"DesignReport", "新模板", "[\"新模板\"]"},
      {"Preview", "Sale", "[\"Sale\",{\"printer\":\"Printer A\",\"data_fields\":\"Name\",\"json_length\":14}]"},
  };
  for (const auto& [method, args, callArgs] : cases) {
    SCOPED_TRACE(method);
    Journal.Clear();
    EXPECT_EQ(Invoke(Driver, method, args), "0");
    EndDialogs();
    const std::vector<TEngineCall> operations = Operations();
    ASSERT_EQ(operations.size(), 1u);
    EXPECT_EQ(operations[0].Call, method);
    EXPECT_EQ(operations[0].Args, callArgs);
  }
  EXPECT_EQ(Invoke(Driver, "CheckTemplateExist", "新模板"), "-1");  // the designer made it
  DropDriver();
  EXPECT_TRUE(LivePrinterObjects().empty());
}

TEST_F(EShopReportTest, APrintIsPolledWhileItsWindowIsOpenAndKeepsItsOwnPrinterObject) {
  UseLibrary();
  Journal.Control("Print.delay_ms=800\n");
  EXPECT_EQ(Property(Driver, "IsPrinting"), "0");
  EXPECT_EQ(Invoke(Driver, "Print", "Sale"), "0");
  EXPECT_EQ(Property(Driver, "IsPrinting"), "1");  // already before the worker has begun
  // The driver let go of its object at once; the configurer's reference keeps it alive.
  while (CallsNamed("Print").empty()) std::this_thread::sleep_for(1ms);
  EXPECT_EQ(Property(Driver, "IsPrinting"), "1");
  EXPECT_EQ(LivePrinterObjects(), std::set<std::string>{"1"});
  // Requests go on while the window is open: the driver is not held by the dialog.
  EXPECT_EQ(Invoke(Driver, "CheckTemplateExist", "Sale"), "0");
  EXPECT_EQ(Property(Driver, "IsPrinting"), "1");
  EndDialogs();
  EXPECT_EQ(Property(Driver, "IsPrinting"), "0");
  EXPECT_EQ(LivePrinterObjects(), std::set<std::string>{"1"});  // in the driver's current configurer
  DropDriver();
  EXPECT_TRUE(LivePrinterObjects().empty());
}

TEST_F(EShopReportTest, ReplacedConfigurersAreReleasedWhenTheirRunsEnd) {
  UseLibrary();
  Journal.Control("Print.delay_ms=500\n");
  EXPECT_EQ(Invoke(Driver, "Print", "First"), "0");
  EXPECT_EQ(Invoke(Driver, "Print", "Second"), "0");  // replaces the first in the driver's slot
  while (CallsNamed("Print").size() < 2) std::this_thread::sleep_for(1ms);
  EXPECT_EQ(LivePrinterObjects(), (std::set<std::string>{"1", "2"}));
  EndDialogs();
  // The first configurer went with the end of its run; the second is the current one.
  EXPECT_EQ(LivePrinterObjects(), std::set<std::string>{"2"});
  DropDriver();
  EXPECT_TRUE(LivePrinterObjects().empty());
}

TEST_F(EShopReportTest, WithoutAWorkerThePrintIsDroppedAtOnce) {
  UseLibrary();
  FailWorkerCreationsForTests(1);
  EXPECT_EQ(Invoke(Driver, "Print", "Sale"), "0");
  FailWorkerCreationsForTests(0);
  EXPECT_EQ(Property(Driver, "IsPrinting"), "0");
  EXPECT_TRUE(Operations().empty());
  EXPECT_TRUE(LivePrinterObjects().empty());  // the configurer went at once, and its reference
}

TEST_F(EShopReportTest, AFailingLibraryWindowClearsTheDialogFlag) {
  UseLibrary();
  for (const char* method : {"Print", "PrintEx", "DesignReport", "Preview"}) {
    SCOPED_TRACE(method);
    Journal.Control(std::string(method) + ".fails=printer jammed\n");
    EXPECT_EQ(Invoke(Driver, method, "Sale,x"), "0");
    EndDialogs();
    EXPECT_EQ(Property(Driver, "IsPrinting"), "0");
  }
  DropDriver();
  EXPECT_TRUE(LivePrinterObjects().empty());
}

TEST_F(EShopReportTest, LibraryErrorsReachTheRequestAndKeepThePrinterObject) {
  UseLibrary();
  const std::tuple<const char*, const char*, const char*> cases[] = {
      {"SetPrinter", "A", "SetPrinter.fails=no such printer\n"},
      {"CheckTemplateExist", "A", "CheckTemplateExist.fails=disk error\n"},
      {"GetPrinterNames", "", "GetPrinterNames.fails=spooler down\n"},
      {"GetCurPrinter", "A", "GetCurPrinter.fails=spooler down\n"},
      {"CreateNewTemplate", "A,B", "CreateNewTemplate.fails=read-only\n"},
  };
  for (const auto& [method, args, control] : cases) {
    SCOPED_TRACE(method);
    Journal.Control(control);
    const std::string message = std::string(control).substr(std::string(control).find('=') + 1);
    EXPECT_EQ(ErrorOf([&, m = method, a = args] { Invoke(Driver, m, a); }), message.substr(0, message.size() - 1));
  }
  Journal.Control("LoadDataFromJson.fails=bad json\n");
  EXPECT_EQ(ErrorOf([&] { LoadJson(u"{"); }), "bad json");
  EXPECT_EQ(PrinterObjectsObtained(), 1u);
}

TEST_F(EShopReportTest, VersionLoadsTheLibraryFromTheCurrentProductDirectoryEachTime) {
  UseLibrary();
  EXPECT_EQ(Property(Driver, "version"), "5.3.1.20");
  EXPECT_EQ(Invoke(Driver, "GetPrinterNames"), "Printer A\r\n打印机 B");  // loaded for printing

  // A second product directory with another copy of the library, under a second tag.
  const std::filesystem::path second = std::filesystem::path(Product.Path()) / "second";
  std::filesystem::create_directories(second);
  std::filesystem::copy_file(StandInEngine("rptengine.dll", "rpt-unversioned"), second / "rptengine.dll");
  AddTag("Second", second.string() + PathSeparator);
  Tag(Driver, "Second");
  Journal.Clear();
  EXPECT_EQ(Property(Driver, "version"), "65535.65535.65535.65535");
  EXPECT_EQ(Property(Driver, "Version"), "65535.65535.65535.65535");
  const std::string secondDirectory = "[" + JsonString(second.string() + PathSeparator) + "]";
  for (const char* call : {"Loaded", "Unloaded"}) {
    const std::vector<TEngineCall> calls = CallsNamed(call);
    ASSERT_EQ(calls.size(), 2u) << call;
    EXPECT_EQ(calls[0].Args, secondDirectory);
    EXPECT_EQ(calls[1].Args, secondDirectory);
  }
  // Printing keeps the library of the first successful load.
  EXPECT_EQ(Invoke(Driver, "Unknown"), "-1");
  EXPECT_EQ(Invoke(Driver, "GetPrinterNames"), "Printer A\r\n打印机 B");
  const std::vector<TEngineCall> obtained = CallsNamed("GetIntf");
  ASSERT_EQ(obtained.size(), 1u);
  EXPECT_EQ(obtained[0].Args, "[2," + JsonString(Product.Path()) + "]");

  const std::filesystem::path empty = std::filesystem::path(Product.Path()) / "empty";
  std::filesystem::create_directories(empty);
  AddTag("Empty", empty.string() + PathSeparator);
  Tag(Driver, "Empty");
  EXPECT_EQ(Property(Driver, "version"), "");
}

TEST_F(EShopReportTest, WithoutTheLibraryEveryMethodFailsWithTheLoadError) {
  UseLibrary("none");
  const std::string loadError = Utf8ToNarrow("无法加载 rptengine.dll，");
  for (const char* method : {"BeginPrint", "AddDataTable", "GetPrinterNames", "Print"}) {
    SCOPED_TRACE(method);
    EXPECT_EQ(ErrorOf([&] { Invoke(Driver, method, "x"); }).rfind(loadError, 0), 0u);
  }
  EXPECT_EQ(ErrorOf([&] { LoadJson(u"{}"); }).rfind(loadError, 0), 0u);
  EXPECT_EQ(Property(Driver, "version"), "");
  EXPECT_EQ(Property(Driver, "IsPrinting"), "0");
  EXPECT_EQ(Property(Driver, "Other"), "-1");

  // A failed load is tried again: the library dropped in later is found.
  UseLibrary("rpt-no-getintf");
  EXPECT_EQ(ErrorOf([&] { Invoke(Driver, "BeginPrint"); }), Utf8ToNarrow("rptengine.dll 无法获取 GetIntf 方法入口"));
  EXPECT_EQ(Property(Driver, "version"), "5.3.1.20");
}

TEST_F(EShopReportTest, LoadsALargeJsonBodyWhole) {
  UseLibrary();
  WideString json = u"[";
  for (int row = 0; json.size() < 1'000'000; ++row)
    json += u"{\"名称\":\"商品" + Utf8ToWide(std::to_string(row)) + u"\",\"数量\":" + Utf8ToWide(std::to_string(row % 7)) + u"},";
  json.back() = u']';
  EXPECT_EQ(LoadJson(json), static_cast<int>(json.size()));
  const std::vector<TEngineCall> calls = CallsNamed("LoadDataFromJson");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].Args.rfind("[{\"length\":" + std::to_string(json.size()) + ",", 0), 0u) << calls[0].Args;
  EXPECT_NE(calls[0].Args.find("\"head\":\"[{\\\"名称\\\":\\\"商品0\\\""), std::string::npos) << calls[0].Args;
}

TEST_F(EShopReportTest, PollingAndQueriesFromSeveralThreadsDuringDialogs) {
  UseLibrary();
  Journal.Control("Print.delay_ms=1000\nDesignReport.delay_ms=200\n");
  ASSERT_EQ(Invoke(Driver, "CreateNewTemplate", "Sale,x"), "1");
  ASSERT_EQ(Invoke(Driver, "Print", "Sale"), "0");
  while (CallsNamed("Print").empty()) std::this_thread::sleep_for(1ms);
  std::atomic<bool> sawPrinting{false};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < 12; ++i) {
        if (Property(Driver, "IsPrinting") == "1") sawPrinting = true;
        switch ((t + i) % 4) {
          case 0: EXPECT_EQ(Invoke(Driver, "CheckTemplateExist", "Sale"), "-1"); break;
          case 1: EXPECT_EQ(Invoke(Driver, "GetPrinterNames"), "Printer A\r\n打印机 B"); break;
          case 2: EXPECT_EQ(LoadJson(u"[1]"), 3); break;
          default:
            if (i == 3) EXPECT_EQ(Invoke(Driver, "DesignReport", "Sale"), "0");
            else EXPECT_EQ(Property(Driver, "version"), "5.3.1.20");
        }
      }
    });
  for (std::thread& thread : threads) thread.join();
  EXPECT_TRUE(sawPrinting);
  EndDialogs();
  EXPECT_EQ(Property(Driver, "IsPrinting"), "0");
  DropDriver();
  EXPECT_TRUE(LivePrinterObjects().empty());
}

// A library built from the engine binary interface note alone: the fourteen operations in
// their places, BSTRs it allocates and frees itself, its own reference count and version.
TEST(EShopReportNoteOnlyTest, ALibraryWrittenFromTheNoteAloneWorks) {
  TProductDirectory product("express-note-only");
  product.Install(NOTE_ONLY_RPTENGINE, "rptengine.dll");
  const std::string logPath = product.Path() + "engine.log";
  test::SetVariable("NOTE_ENGINE_LOG", logPath);
  {
    TRptEngineLoader loader;
    TRecordingDesktop desktop;
    TEShopReport driver(loader);
    Tag(driver, TProductDirectory::Tag);
    EXPECT_EQ(Property(driver, "version"), "6.1.0.3");
    EXPECT_EQ(Invoke(driver, "GetPrinterNames"), "Note printer");
    EXPECT_EQ(Invoke(driver, "GetCurPrinter", "x"), "-1");
    EXPECT_EQ(Invoke(driver, "CreateNewTemplate", "T,body"), "42");
    EXPECT_EQ(Invoke(driver, "SetPrinter", "P"), "-1");
    EXPECT_EQ(Invoke(driver, "Set_PreviewPrintVisible", "true"), "1");
    {
      TLockGuard guard(driver.CallLock);
      EXPECT_EQ(driver.LoadDataFromJson(u"{\"a\":1}"), 7);
    }
    const auto endDialogs = [&desktop] {
      ASSERT_TRUE(WaitForDialogWorkers(std::chrono::duration_cast<std::chrono::milliseconds>(Patience)));
      desktop.RunPostedWork();
    };
    EXPECT_EQ(Invoke(driver, "PrintEx", "T,copy"), "0");  // keeps the driver's object
    endDialogs();
    EXPECT_EQ(Invoke(driver, "Print", "T"), "0");  // releases it; the run holds on to it
    endDialogs();
  }
  test::UnsetVariable("NOTE_ENGINE_LOG");
  std::ifstream file(logPath);
  std::stringstream log;
  log << file.rdbuf();
  EXPECT_EQ(log.str(),
            "GetIntf entry=null\n"
            "GetPrinterNames entry=-1\n"
            "GetCurPrinter x\n  entry=-1\n"
            "CreateNewTemplate T\n  second body\n"
            "SetPrinter P\n"
            "Release last\n"
            "GetIntf entry=null\n"
            "Set_PreviewPrintVisible -1\n"
            "Release last\n"
            "GetIntf entry=null\n"
            "LoadDataFromJson 7 {\"a\":1}\n"
            "PrintEx T\n  second copy\n"
            "Print T\n"
            "Release last\n");
}

}  // namespace
}  // namespace trs::test
