// The program's error model: every failure is an exception carrying a narrow-text message,
// and the kinds below exist only where their handling differs somewhere.
#pragma once

#include <stdexcept>
#include <string>

namespace trs {

class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : Message(std::move(message)) {}
  const char* what() const noexcept override { return Message.c_str(); }
  const std::string& GetMessage() const noexcept { return Message; }
  // Rewords the error in place (the client log turns known failures into guidance).
  void SetMessage(std::string message) { Message = std::move(message); }

 private:
  std::string Message;
};

// A text that does not convert to the wanted number, Boolean or date.
class EConvertError : public Exception { using Exception::Exception; };
// An index outside a list: "List index out of bounds (%d)".
class EListError : public Exception { using Exception::Exception; };
// A dataset used in a state that does not allow the operation.
class EDatabaseError : public Exception { using Exception::Exception; };
// A file that cannot be created or opened; the message carries the path and the system's reason.
class EFCreateError : public Exception { using Exception::Exception; };
class EFOpenError : public Exception { using Exception::Exception; };
// A file name from a request that would leave the directory it is meant for.
class EInvalidFileName : public Exception { using Exception::Exception; };
// A broken internal precondition ("Assertion failure").
class EAssertionFailed : public Exception { using Exception::Exception; };

// printf-style formatting into a std::string, for the program's message texts. GCC's plain
// `printf` archetype means the Microsoft runtime's dialect on MinGW, which flags %zu and %lld
// although the program links the standard-conforming stdio there; `gnu_printf` checks what
// actually runs. clang knows only `printf`, which is already the standard dialect for it.
#if defined(__clang__)
#define TRS_PRINTF_FORMAT(formatIndex, firstArgument) \
  __attribute__((format(printf, formatIndex, firstArgument)))
#else
#define TRS_PRINTF_FORMAT(formatIndex, firstArgument) \
  __attribute__((format(gnu_printf, formatIndex, firstArgument)))
#endif
std::string Format(const char* format, ...) TRS_PRINTF_FORMAT(1, 2);

// "List index out of bounds (%d)", the one text every index error uses.
[[noreturn]] void ThrowListIndexError(long long index);

}  // namespace trs
