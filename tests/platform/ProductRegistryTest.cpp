// The product registry file found through XDG_CONFIG_DIRS.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <unistd.h>

#include "platform/ProductRegistry.h"

namespace trs {
namespace {

namespace fs = std::filesystem;

class ProductRegistryTest : public testing::Test {
 protected:
  void SetUp() override {
    Root = fs::temp_directory_path() / ("trs-registry-" + std::to_string(::getpid()));
    fs::create_directories(Root / "empty");
    fs::create_directories(Root / "second/Tally/Quill");
    std::ofstream(Root / "second/Tally/Quill/Report.conf")
        << "# products\r\nBarcode=/opt/tally/barcode/\r\n  Bill =/opt/tally/bill/\nbroken line\n";
    const std::string dirs = (Root / "missing").string() + "::" + (Root / "empty").string() + ":" +
                             (Root / "second").string();
    setenv("XDG_CONFIG_DIRS", dirs.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("XDG_CONFIG_DIRS");
    fs::remove_all(Root);
  }
  fs::path Root;
};

TEST_F(ProductRegistryTest, FindsTagsWithoutRegardToCase) {
  EXPECT_EQ(LookupProductDirectory("barcode"), "/opt/tally/barcode/");
  EXPECT_EQ(LookupProductDirectory("BILL"), "/opt/tally/bill/");
  EXPECT_EQ(LookupProductDirectory("Report"), std::nullopt);
  EXPECT_EQ(LookupProductDirectory(""), std::nullopt);
}

TEST_F(ProductRegistryTest, NoRegistryFileMeansNoProduct) {
  setenv("XDG_CONFIG_DIRS", (Root / "empty").c_str(), 1);
  EXPECT_EQ(LookupProductDirectory("Barcode"), std::nullopt);
}

}  // namespace
}  // namespace trs
