// The single-instance guard: one holder at a time, free again once the holder is gone.
#include "platform/SingleInstance.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

namespace trs {
namespace {

namespace fs = std::filesystem;

TEST(SingleInstanceTest, OneHolderAtATimeAndTheGuardIsFreeAgainAfterIt) {
  const std::string name = "trs-test-guard-" + std::to_string(::getpid());
  {
    TSingleInstance first(name);
    ASSERT_TRUE(first.Acquired()) << first.Path();
    TSingleInstance second(name);
    EXPECT_FALSE(second.Acquired());
  }
  TSingleInstance again(name);
  EXPECT_TRUE(again.Acquired());
  fs::remove(again.Path());
}

}  // namespace
}  // namespace trs
