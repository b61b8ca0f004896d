// The version texts of the stand-in engines, read from their files through the same code
// that answers Get=version: the record is an ELF section on Linux and the version resource
// on Windows, written by the build from one version per engine.
#include <gtest/gtest.h>

#include <string>

#include "desktop/LibraryVersion.h"
#include "support/StandInEngines.h"

namespace trs {
namespace {

TEST(StandInVersionTest, EachEngineFileCarriesItsBuildVersion) {
  const struct {
    const char* File;
    const char* Variant;
    const char* Version;
  } cases[] = {
      {"BarcodeKit.dll", "", "1.9.0.0"},
      {"BarcodeKit.dll", "barcode-1.8.8.1009", "1.8.8.1009"},
      {"BarcodeKit.dll", "barcode-1.8.7.2000", "1.8.7.2000"},
      {"BillKit.dll", "", "3.2.0.15"},
      {"PosKit.dll", "", "2.1.4.7"},
      {"QPrint.Dll", "", "5.2.0.1"},
      {"rptengine.dll", "", "5.3.1.20"},
      {"QuillHost.ocx", "", "11.0.3.8"},
      // Built without a record: every part reads as all bits set.
      {"BarcodeKit.dll", "barcode-unversioned", "65535.65535.65535.65535"},
      {"QPrint.Dll", "qprint-unversioned", "65535.65535.65535.65535"},
      {"rptengine.dll", "rpt-unversioned", "65535.65535.65535.65535"},
  };
  for (const auto& c : cases) {
    const std::string path = test::StandInEngine(c.File, c.Variant);
    SCOPED_TRACE(path);
    EXPECT_EQ(LibraryVersionText(path), c.Version);
  }
}

}  // namespace
}  // namespace trs
