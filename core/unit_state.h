#pragma once

#include <QString>
#include <QtGlobal>

// State shared by the main window's handlers. The window owns one instance and hands references
// to the objects that read or write each field; everything here is touched on the main thread only.
struct UnitState {
    // Frame reassembly and the meter-silence watch.
    qint32 IdleReportCount = 0;
    qint32 ConTickCount = 0;
    bool FrameOpen = false;
    QString FrameHex;

    // The latest reading.
    QString ValueText = QStringLiteral("0000");
    QString VRangeText = QStringLiteral("IR:500V 20G\u03A9");
    QString IRangeText = QStringLiteral("40.0A");
    QString UnitText;

    // Recording.
    qint32 RecordNo = 1;
    qint32 MaxRecords = 10000;
    qint32 SampleCountdown = 0;
    QString LastRecordedValue;

    // Chart enlarge/restore.
    qint32 SavedChartWidth = 0;
    qint32 SavedChartHeight = 0;
    qint32 SavedChartTop = 0;
    qint32 SavedChartLeft = 0;

    // Data report.
    qint32 DataReportPages = 1;

    // Directory of the program file, ending in a path separator.
    QString ExeDir;
};
