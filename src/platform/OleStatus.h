// The system's texts for OLE status codes, and the error that carries such a code.
#pragma once

#include <string>

#include "platform/Exceptions.h"
#include "platform/Ole.h"

namespace trs {

// The system's message for a status: "Catastrophic failure" for 0x8000FFFF, ...; a code
// it has no text for gives "OLE error %08X".
std::string OleStatusText(HRESULT status);

// An error carrying a status code, with the system's text for it as its message.
class EOleSysError : public Exception {
 public:
  explicit EOleSysError(HRESULT status) : Exception(OleStatusText(status)), Status(status) {}
  HRESULT ErrorCode() const { return Status; }

 private:
  HRESULT Status;
};

}  // namespace trs
