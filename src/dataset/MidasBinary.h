// Binary MIDAS data packets (.cds): the writer and the reader.
#pragma once

#include <string>
#include <string_view>

#include "dataset/PacketTable.h"

namespace trs::packet {

// True when the bytes start with the binary packet's magic number.
bool IsBinaryPacket(std::string_view bytes);

// The table as a binary packet: header, field descriptors, no dataset properties, the rows
// (and `pending`, when given, as the last row). EDatabaseError when the metadata does not
// fit the header's 16-bit data offset or a field name is longer than 255 bytes.
std::string WriteBinaryPacket(const TPacketTable& table, const TRowRef* pending = nullptr);

// Replaces `table` with the packet's columns and its current view: old versions, deleted
// and unused rows left out, "not changed" values taken from the row each one replaces.
// EDatabaseError "Invalid data packet: ..." for anything malformed.
void ReadBinaryPacket(std::string_view bytes, TPacketTable& table);

}  // namespace trs::packet
