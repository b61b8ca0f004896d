// A table as the drivers hand it to an engine: its binary data packet, built from text
// columns and rows, and that packet in a variant (owned here, as the driver owns it).
#pragma once

#include <string>
#include <vector>

#include "dataset/ClientDataSet.h"
#include "platform/Ole.h"

namespace trs::test {

inline std::string TablePacket(const std::vector<std::string>& fields, const std::vector<std::vector<std::string>>& rows) {
  TClientDataSet table;
  for (const std::string& field : fields) table.AddFieldDef(field, TFieldType::ftString, 100);
  table.CreateDataSet();
  for (const auto& row : rows) {
    table.Append();
    for (size_t i = 0; i < row.size(); ++i) table.SetFieldText(static_cast<int>(i), row[i]);
    table.Post();
  }
  return table.Data();
}

class TPacketVariant {
 public:
  explicit TPacketVariant(std::string packet) : Bytes(std::move(packet)) {
    Array.cDims = 1;
    Array.cbElements = 1;
    Array.pvData = Bytes.data();
    Array.rgsabound[0].cElements = static_cast<uint32_t>(Bytes.size());
    Value.vt = VT_ARRAY | VT_UI1;
    Value.parray = &Array;
  }
  TPacketVariant(const TPacketVariant&) = delete;
  TPacketVariant& operator=(const TPacketVariant&) = delete;

  VARIANT* Packet() { return &Value; }
  const VARIANT& Variant() const { return Value; }

 private:
  std::string Bytes;
  SAFEARRAY Array{};
  VARIANT Value{};
};

}  // namespace trs::test
