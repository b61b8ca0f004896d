// Calling a driver the way the endpoint does: methods and properties under the driver's
// lock, polled properties without it when the driver answers them that way.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "drivers/fuReportBase.h"
#include "platform/Exceptions.h"
#include "platform/Text.h"

namespace trs::test {

inline std::string Narrow(const WideString& text) { return WideToNarrow(text); }

inline std::string Invoke(TReportBase& driver, const std::string& name, const std::string& args = "") {
  TLockGuard guard(driver.CallLock);
  return Narrow(driver.InvokeMethod(LowerAscii(name), args));
}

inline std::string Property(TReportBase& driver, const std::string& name) {
  if (std::optional<WideString> answer = driver.GetPropertyWithoutWaiting(LowerAscii(name))) return Narrow(*answer);
  TLockGuard guard(driver.CallLock);
  return Narrow(driver.GetProperty(LowerAscii(name)));
}

inline void Tag(TReportBase& driver, const std::string& tag) {
  TLockGuard guard(driver.CallLock);
  driver.SetProductTag(tag);
}

// Expects `call` to fail with exactly `message`.
template <typename Call>
void ExpectError(Call call, const std::string& message) {
  try {
    call();
    ADD_FAILURE() << "no error, expected: " << message;
  } catch (const Exception& error) {
    EXPECT_EQ(error.GetMessage(), message);
  }
}

// The message of the error that `call` raises; a failure of the test when it raises none.
template <typename Call>
std::string ErrorOf(Call call) {
  try {
    call();
  } catch (const Exception& error) {
    return error.GetMessage();
  }
  ADD_FAILURE() << "expected an error";
  return {};
}

}  // namespace trs::test
