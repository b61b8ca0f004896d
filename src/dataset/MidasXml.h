// XML MIDAS data packets, UTF-8 variant: the writer and the reader.
#pragma once

#include <string>
#include <string_view>

#include "dataset/PacketTable.h"

namespace trs::packet {

// True when the bytes look like an XML document (after an optional byte order mark and blanks).
bool IsXmlPacket(std::string_view bytes);

// The table as an XML packet: narrow text re-encoded as UTF-8, names that are not XML names
// renamed in attrname (the original kept in fieldname), dateTime as yyyymmddThh:nn:ssmmm,
// blobs in base64 except memos. EDatabaseError for a date or time that has no text form.
std::string WriteXmlPacket(const TPacketTable& table, const TRowRef* pending = nullptr);

// Replaces `table` with the packet's columns and current rows (RowState bits 1, 2 and 0x20
// leave a row out). EDatabaseError "Invalid data packet: ..." for anything malformed.
void ReadXmlPacket(std::string_view bytes, TPacketTable& table);

}  // namespace trs::packet
