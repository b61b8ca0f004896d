// The start-up probe of the report host control with a missing, a broken, a failing and a
// working control: start-up always goes on, and a control that was created is dropped.
#include "endpoint/ReportHostProbe.h"

#include <gtest/gtest.h>

#include <fstream>

#include "drivers/QuillTestSupport.h"

namespace trs::test {
namespace {

TEST(ReportHostProbeTest, AnswersForEachKindOfControlFile) {
  TEngineJournal journal;
  TProductDirectory missing("probe-missing");
  TProductDirectory broken("probe-broken");
  std::ofstream(broken.Path() + "QuillHost.ocx") << "not a shared object";
  const struct {
    const char* What;
    std::string Folder;
    bool Usable;
    int Attempts;
    const char* Error;
    int Probes;  // Probe calls that reached a control
  } cases[] = {
      {"missing", missing.Path(), false, 1, "Class not registered", 0},
      {"not loadable", broken.Path(), false, 2, "Class not registered", 0},
      {"without the creation export", QuillFolder("quill-no-export"), false, 2, "Class not registered", 0},
      {"failing its probe", QuillFolder("quill-probe-fails"), false, 2, "Unspecified error", 2},
      {"working", QuillFolder(), true, 1, "", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    journal.Clear();
    const TReportHostProbe probe = ProbeReportHost(c.Folder);
    EXPECT_EQ(probe.Usable, c.Usable);
    EXPECT_EQ(probe.Attempts, c.Attempts);
    EXPECT_EQ(probe.Error, c.Error);
    EXPECT_EQ(CountOf(journal, "Probe"), c.Probes);
    // Every control the probe made is gone again.
    EXPECT_EQ(CountOf(journal, "Destroyed"), CountOf(journal, "CreateReportHostControl"));
  }
}

}  // namespace
}  // namespace trs::test
