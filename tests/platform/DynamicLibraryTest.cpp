// Run-time libraries: loading by path, finding exports, moving the handle, and the
// system's reason when a load fails.
#include "platform/DynamicLibrary.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "platform/Exceptions.h"
#include "support/TestOs.h"

namespace trs {
namespace {

TEST(DynamicLibraryTest, LoadsFindsExportsAndSaysWhyALoadFails) {
  TDynamicLibrary library = TDynamicLibrary::Load(TRS_VERSIONED_LIBRARY);
  auto* entry = library.Entry<int()>("TrsVersionFixture");
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry(), 1);
  EXPECT_EQ(library.Symbol("NoSuchExport"), nullptr);

  TDynamicLibrary moved = std::move(library);
  EXPECT_FALSE(library.Loaded());
  EXPECT_TRUE(moved.Loaded());

  try {
    TDynamicLibrary::Load("/nonexistent/QPrint.Dll");
    ADD_FAILURE() << "loaded a missing library";
  } catch (const Exception& error) {
    EXPECT_NE(std::string(error.what()).find(test::SystemErrorText(test::TSystemError::NoSuchLibrary)), std::string::npos)
        << error.what();
  }
}

}  // namespace
}  // namespace trs
