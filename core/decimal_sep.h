#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

// Asks the system for the default locale's decimal separator; nullopt when the query fails.
using DecimalSepQuery = std::function<std::optional<QByteArray>()>;

// The system default locale's decimal separator, from the user's locale settings.
std::optional<QByteArray> systemDecimalSepQuery();

// The decimal separator as the query gives it, read through a zero-filled 10-byte buffer and
// taken up to its first zero byte; empty when the query fails.
QString GetDecimalSep(const DecimalSepQuery& query = systemDecimalSepQuery);

// The directory part of a program file path, up to and including the last separator.
QString ExeDirOf(const QString& programPath);

// The help file of the program in exeDir: beside the program (the build tree, a copied folder),
// else where an installation under a prefix keeps its data (exeDir/../share/z4072/). When
// neither exists, the place beside the program, so that the viewer names that one as missing.
QString HelpFileOf(const QString& exeDir, const QString& name);
