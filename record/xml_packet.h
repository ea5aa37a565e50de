#pragma once

#include "record/reading_table.h"

#include <QByteArray>
#include <QStringView>

#include <array>

// The reading table's XML data packet, written on one line without any line end, as table
// engines that keep their tables in such packets write it:
//   <?xml version="1.0" standalone="yes"?>  <DATAPACKET Version="2.0"><METADATA><FIELDS>
//   <FIELD attrname="No" fieldtype="i4"/>...</FIELDS><PARAMS/></METADATA><ROWDATA>
//   <ROW No="1" Time="14:03:27123" .../></ROWDATA></DATAPACKET>
// A time is HH:MM: followed by the milliseconds within the minute as five digits; a null field
// has no attribute. Texts are in the code page; & < > " ' are written as entities, control
// characters and the backslash as three-digit references (&#009;), characters that the code
// page lacks as references too.
//
// Here: the packet's metadata, which its writer writes and its reader checks. The writer is in
// xml_packet_writer.h, the reader in xml_packet_reader.h.

// One FIELD of the metadata: a field of the table, in table order.
struct XmlPacketField {
    const char* name; // attrname, also the name of the field's attribute in a ROW
    const char* type; // fieldtype
    int width;        // WIDTH, the bytes a text holds; 0: none
};
inline constexpr std::array<XmlPacketField, ReadingTable::kFieldCount> kXmlPacketFields = {{
    {"No", "i4", 0},
    {"Time", "time", 0},
    {"Value", "string", ReadingTable::kTextBytes},
    {"Unit", "string", ReadingTable::kTextBytes},
    {"V_Range", "string", ReadingTable::kTextBytes},
    {"I_Range", "string", ReadingTable::kTextBytes},
}};

// The table's field (ReadingTable::Field) that an attrname names, case aside; -1 for another.
int xmlPacketFieldOf(QStringView attrname);

// What a packet holds before its first row: the declaration, the root, the metadata with the
// field list and no parameters, and the start of ROWDATA.
const QByteArray& xmlPacketHead();
// What follows its last row.
inline constexpr char kXmlPacketTail[] = "</ROWDATA></DATAPACKET>";
