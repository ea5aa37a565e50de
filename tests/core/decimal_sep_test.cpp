#include "core/decimal_sep.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

TEST(DecimalSep, TakesTheLocaleAnswerUpToItsFirstZeroWithinTenBytes) {
    EXPECT_EQ(GetDecimalSep([] { return std::optional<QByteArray>(","); }), u",");
    EXPECT_EQ(GetDecimalSep([] { return std::optional<QByteArray>("."); }), u".");
    EXPECT_EQ(GetDecimalSep([] { return std::optional<QByteArray>(QByteArray("a\0b", 3)); }), u"a");
    EXPECT_EQ(GetDecimalSep([] { return std::optional<QByteArray>("0123456789AB"); }),
              u"012345678");
    EXPECT_EQ(GetDecimalSep([] { return std::optional<QByteArray>(); }), QString());
}

// Run by CTest once per locale, with the expected separator in Z4072_EXPECT_SEP.
TEST(DecimalSep, FollowsTheUsersLocaleSettings) {
    if (!qEnvironmentVariableIsSet("Z4072_EXPECT_SEP"))
        GTEST_SKIP() << "run with a locale in LC_ALL and Z4072_EXPECT_SEP";
    EXPECT_EQ(GetDecimalSep(), qEnvironmentVariable("Z4072_EXPECT_SEP"));
}

TEST(ExeDir, IsTheProgramDirectoryWithItsSeparator) {
    EXPECT_EQ(ExeDirOf(QStringLiteral("/opt/z4072/bin/z4072")), u"/opt/z4072/bin/");
    EXPECT_EQ(ExeDirOf(QStringLiteral("z4072")), QString());
}

// A build tree keeps the help beside the program, an installation under a prefix in
// share/z4072/; the one beside the program wins, and a missing one is looked for beside it.
TEST(ExeDir, HelpFileBesideTheProgramElseInTheInstalledDataFolder) {
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString bin = root.filePath(QStringLiteral("bin")) + u'/';
    ASSERT_TRUE(QDir().mkpath(bin) && QDir().mkpath(root.filePath(QStringLiteral("share/z4072"))));
    const QString name = QStringLiteral("kr380.html");
    const auto touch = [](const QString& path) {
        QFile f(path);
        return f.open(QIODevice::WriteOnly);
    };
    EXPECT_EQ(HelpFileOf(bin, name), bin + name);

    const QString installed = root.filePath(QStringLiteral("share/z4072/kr380.html"));
    ASSERT_TRUE(touch(installed));
    EXPECT_EQ(QDir::cleanPath(HelpFileOf(bin, name)), QDir::cleanPath(installed));

    ASSERT_TRUE(touch(bin + name));
    EXPECT_EQ(HelpFileOf(bin, name), bin + name);
}

#include "core/csv_cell.h"

namespace {

TEST(CsvCells, QuoteWhatNeedsItAndKeepTypedFormulasText) {
    EXPECT_EQ(csvCell(QStringLiteral("Motor 7")), u"Motor 7");
    EXPECT_EQ(csvCell(QStringLiteral("a,\"b\"")), u"\"a,\"\"b\"\"\"");
    EXPECT_EQ(csvCell(QStringLiteral("-12.5")), u"-12.5"); // numbers stay numbers
    EXPECT_EQ(csvTextCell(QStringLiteral("=HYPERLINK(\"x\")")), u"\"'=HYPERLINK(\"\"x\"\")\"");
    for (const char* typed : {"+1", "-rf", "@SUM(A1)", "\tx"})
        EXPECT_EQ(csvTextCell(QString::fromLatin1(typed)), u'\'' + QString::fromLatin1(typed))
            << typed;
    EXPECT_EQ(csvTextCell(QStringLiteral("Pump 3")), u"Pump 3");
    EXPECT_EQ(csvTextCell(QString()), u"");
}

} // namespace
