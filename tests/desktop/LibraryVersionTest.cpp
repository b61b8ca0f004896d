// The version text of a library file, from the version records of libraries built here.
#include "desktop/LibraryVersion.h"

#include <gtest/gtest.h>

#include <string>

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

}  // namespace
}  // namespace trs
