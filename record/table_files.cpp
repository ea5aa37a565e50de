#include "record/table_files.h"

#include <QFileInfo>

#include <algorithm>

bool isXmlTableFile(const QString& fileName) {
    const qsizetype slash = std::max(fileName.lastIndexOf(u'/'), fileName.lastIndexOf(u'\\'));
    const qsizetype dot = fileName.lastIndexOf(u'.');
    return dot > slash && QStringView(fileName).mid(dot).compare(u".xml", Qt::CaseInsensitive) == 0;
}

bool SaveTableFile(const ReadingTable& table, const QString& fileName,
                   const TableFileMessageSink& tell) {
    QString error;
    if (isXmlTableFile(fileName)) {
        if (!saveXmlTable(table, fileName, &error)) {
            tell({TableFileMessage::Information, error, {}}); // the text is the reason
            return false;
        }
    } else if (!saveTextTable(table, fileName, &error)) {
        tell({TableFileMessage::Information,
              QStringLiteral("Could not save table to specified file: ") + fileName,
              fileName + QStringLiteral(": ") + error});
        return false;
    }
    tell({TableFileMessage::Information,
          QStringLiteral("Save table to specified file: ") + fileName + QStringLiteral(" Scuss!"),
          {}});
    return true;
}

bool LoadTableFile(const QString& fileName, ReadingTable& table, bool emptyFirst,
                   const TableFileMessageSink& tell) {
    if (emptyFirst)
        table.clear();
    QString error;
    const bool xml = isXmlTableFile(fileName);
    const int before = xml ? 0 : table.rowCount(); // a packet replaces the rows
    const bool ok =
        xml ? loadXmlTable(fileName, table, &error) : loadTextTable(fileName, table, &error);
    // The rows remember the file they came from (the results name it, and ask for the day); a
    // packet that failed brought none.
    if (ok || !xml)
        table.setSourceOf(before, table.rowCount() - 1,
                          table.sourceIndex(QFileInfo(fileName).absoluteFilePath()));
    if (!ok)
        tell({TableFileMessage::Error, QStringLiteral("Failed to Load File!"),
              fileName + QStringLiteral(": ") + error});
    return ok;
}
