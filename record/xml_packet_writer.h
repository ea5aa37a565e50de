#pragma once

#include "record/reading_table.h"
#include "record/table_texts.h"

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <array>

// Writes the packet of a table (xml_packet.h), row by row, as code-page bytes.
class XmlPacketWriter {
public:
    explicit XmlPacketWriter(const ReadingTable& table);
    void begin(QByteArray& out);
    void row(int row, QByteArray& out);
    void end(QByteArray& out);

    // Attribute text with its entities and references.
    static void appendEscaped(QString& out, QStringView text);
    static void appendTime(QByteArray& out, int msOfDay);

private:
    static void putTime(ByteAppender& to, int msOfDay);
    const ReadingTable& table_;
    TextBytes texts_;
};

// Writes the whole table as a packet; *error says what went wrong.
bool saveXmlTable(const ReadingTable& table, const QString& fileName, QString* error);
