// Fuzz target: the XML packet reader. A packet it accepts must convert to a binary packet
// that reads back to the very same bytes, and write an XML packet that reads again.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "dataset/ClientDataSet.h"
#include "platform/Exceptions.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  trs::TClientDataSet ds;
  try {
    ds.SetXmlData(std::string_view(reinterpret_cast<const char*>(data), size));
  } catch (const trs::EDatabaseError&) {
    return 0;
  }
  if (!ds.Active()) return 0;  // no bytes: no table
  for (ds.First(); !ds.Eof(); ds.Next())
    for (int i = 0; i < ds.FieldCount(); ++i) (void)ds.FieldAsString(i);

  std::string packet;
  try {
    packet = ds.Data();  // names over 255 bytes or metadata over 64 KiB are refused, cleanly
  } catch (const trs::EDatabaseError&) {
    packet.clear();
  }
  if (!packet.empty()) {
    trs::TClientDataSet again;
    again.SetData(packet);  // must not throw
    if (again.Data() != packet || again.RecordCount() != ds.RecordCount()) std::abort();
  }

  trs::TClientDataSet fromXml;
  fromXml.SetXmlData(ds.XmlData());  // must not throw
  if (fromXml.RecordCount() != ds.RecordCount() || fromXml.FieldCount() != ds.FieldCount()) std::abort();
  return 0;
}
