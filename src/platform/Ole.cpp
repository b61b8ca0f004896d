// Status texts and packet variants.
#include <cstdint>
#include <cstring>

#include "platform/OleHolders.h"
#include "platform/OleStatus.h"

namespace trs {

std::string OleStatusText(HRESULT status) {
  switch (static_cast<uint32_t>(status)) {
    case 0x80004005: return "Unspecified error";
    case 0x80004001: return "Not implemented";
    case 0x80070057: return "The parameter is incorrect.";
    case 0x80004002: return "No such interface supported";
    case 0x8007000E: return "Not enough storage is available to complete this operation.";
    case 0x80040154: return "Class not registered";
    case 0x8000FFFF: return "Catastrophic failure";
    case 0x80020009: return "Exception occurred.";
    case 0x80020003: return "Member not found.";
    default: return Format("OLE error %08X", static_cast<unsigned>(status));
  }
}

void SetBytePacket(TOleVariant& variant, std::string_view bytes) {
  VariantClear(variant.Address());
  if (bytes.size() > UINT32_MAX) throw EOleSysError(E_OUTOFMEMORY);  // an array counts in 32 bits
  SAFEARRAY* array = SafeArrayCreateByteVector(static_cast<uint32_t>(bytes.size()));
  if (array == nullptr) throw EOleSysError(E_OUTOFMEMORY);
  if (!bytes.empty()) std::memcpy(array->pvData, bytes.data(), bytes.size());
  variant.Get().vt = VT_ARRAY | VT_UI1;
  variant.Get().parray = array;
}

std::string_view BytePacketOf(const VARIANT& variant) {
  if (variant.vt != (VT_ARRAY | VT_UI1) || variant.parray == nullptr || variant.parray->cDims != 1 ||
      variant.parray->pvData == nullptr)
    return {};
  return {static_cast<const char*>(variant.parray->pvData), variant.parray->rgsabound[0].cElements};
}

}  // namespace trs
