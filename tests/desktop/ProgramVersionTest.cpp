// The running program's version text, read from the record of the test program itself.
#include "desktop/ProgramVersion.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "platform/Exceptions.h"

namespace trs {
namespace {

TEST(ProgramVersionTest, TextIsTheProjectVersion) {
  // This test program links the program's own record.
  constexpr uint32_t project[] = {TRS_PROJECT_VERSION_PARTS};
  EXPECT_EQ(ProgramVersionText(), Format("%u.%u.%u.%u", project[0], project[1], project[2], project[3]));
}

}  // namespace
}  // namespace trs
