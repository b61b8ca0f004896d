// Fuzz target: the binary packet reader. A packet it accepts must write back to bytes that
// read again to the very same bytes, and must turn into an XML packet the XML reader takes.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "dataset/ClientDataSet.h"
#include "platform/Exceptions.h"

namespace {

// Reads every cell the way the engines' callers do; a stored date may be out of range, which
// is a conversion error, not a fault.
void ReadAllCells(trs::TClientDataSet& ds) {
  for (ds.First(); !ds.Eof(); ds.Next()) {
    for (int i = 0; i < ds.FieldCount(); ++i) {
      try {
        (void)ds.FieldIsNull(i);
        (void)ds.FieldAsBytes(i);
        (void)ds.FieldAsString(i);
        (void)ds.FieldAsFloat(i);
      } catch (const trs::EConvertError&) {
      }
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  trs::TClientDataSet ds;
  try {
    ds.SetData(std::string_view(reinterpret_cast<const char*>(data), size));
  } catch (const trs::EDatabaseError&) {
    return 0;
  }
  if (!ds.Active()) return 0;  // no bytes: no table
  ReadAllCells(ds);

  std::string packet;
  try {
    packet = ds.Data();  // metadata that grew past 64 KiB is refused, cleanly
  } catch (const trs::EDatabaseError&) {
    packet.clear();
  }
  if (!packet.empty()) {
    trs::TClientDataSet again;
    again.SetData(packet);  // must not throw
    if (again.Data() != packet || again.RecordCount() != ds.RecordCount()) std::abort();
  }

  std::string xml;
  try {
    xml = ds.XmlData();  // dates outside years 1 to 9999 have no XML form
  } catch (const trs::EDatabaseError&) {
    return 0;
  }
  trs::TClientDataSet fromXml;
  fromXml.SetXmlData(xml);  // must not throw
  if (fromXml.RecordCount() != ds.RecordCount() || fromXml.FieldCount() != ds.FieldCount()) std::abort();
  return 0;
}
