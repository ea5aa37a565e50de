#pragma once

#include "record/reading_table.h"
#include "record/text_table_appender.h"
#include "record/text_table_reader.h"
#include "record/text_table_writer.h"
#include "record/time_texts.h"
#include "record/xml_packet_reader.h"
#include "record/xml_packet_writer.h"

#include <QString>

#include <functional>

// Table files. A name ending in ".xml" (any case) holds the table's XML data packet; any other
// name holds tab-separated text. Both are in the 8-bit code page (GBK), and a save writes a
// temporary file that replaces the target only once it is complete.
//
// Here: the choice of format by the name, and the save and load that tell the user the outcome.
// The formats themselves are in the headers above, which whoever uses table files gets from
// this one.

// What a save or load tells the user.
struct TableFileMessage {
    enum Kind {
        Information, // a plain box titled with the application's title
        Error        // title "Error", error icon
    };
    Kind kind = Information;
    QString text;
    // What went wrong, for a reader who can act on it ("FILE: line 3: Time is not a time of
    // day"); the window shows `text` only.
    QString detail;
};
using TableFileMessageSink = std::function<void(const TableFileMessage&)>;

// True when the file name's extension (from the last dot of the last path component) is ".xml".
bool isXmlTableFile(const QString& fileName);

// Writes the table to the file, then tells the sink the outcome. Returns true when written.
bool SaveTableFile(const ReadingTable& table, const QString& fileName,
                   const TableFileMessageSink& tell);
// Reads the file into the table (text: after the rows there; XML: in their place), emptying
// it first when `emptyFirst`. Every failure ends in "Failed to Load File!"; rows from the lines
// before the failure stay, and a failed XML load leaves the table as it was.
bool LoadTableFile(const QString& fileName, ReadingTable& table, bool emptyFirst,
                   const TableFileMessageSink& tell);
