// The version texts of a library file and of the program, from their version records.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "desktop/LibraryVersion.h"
#include "desktop/ProgramVersion.h"
#include "platform/Exceptions.h"

namespace trs {
namespace {

TEST(LibraryVersionTest, MixesTheFileAndProductVersions) {
  // trs_versioned_fixture: file version 2.5.3.4, product version 1.2.7.9. The text takes
  // major and minor of the first, release and build of the second.
  EXPECT_EQ(LibraryVersionText(TRS_VERSIONED_LIBRARY), "2.5.7.9");
}

TEST(LibraryVersionTest, NoVersionInformationGivesAllOnes) {
  for (const std::string& path : {std::string(TRS_UNVERSIONED_LIBRARY), std::string("/nonexistent/QPrint.Dll")}) {
    SCOPED_TRACE(path);
    EXPECT_EQ(LibraryVersionText(path), "65535.65535.65535.65535");
  }
}

TEST(LibraryVersionTest, ProgramVersionIsTheProjectVersion) {
  // This test program links the program's own record.
  constexpr uint32_t project[] = {TRS_PROJECT_VERSION_PARTS};
  EXPECT_EQ(ProgramVersionText(), Format("%u.%u.%u.%u", project[0], project[1], project[2], project[3]));
}

}  // namespace
}  // namespace trs
