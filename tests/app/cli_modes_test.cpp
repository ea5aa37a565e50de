#include "app/cli_info.h"
#include "app/cli_modes.h"
#include "tests/test_app.h"

#include <QGuiApplication>
#include <QProcess>

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

using cli::Options;

TEST(CliModes, ReadsTheWindowModes) {
    Options o;
    ASSERT_TRUE(cli::parse({}, o, nullptr));
    EXPECT_EQ(o.hid, Options::Hid::System);
    EXPECT_TRUE(o.capturePath.isEmpty());

    ASSERT_TRUE(cli::parse({"--simulate", "--capture", "out.cap"}, o, nullptr));
    EXPECT_EQ(o.hid, Options::Hid::Simulate);
    EXPECT_EQ(o.simulation, u"demo");
    EXPECT_EQ(o.capturePath, u"out.cap");

    // The simulated meter's whole PI test, before or after the other options.
    ASSERT_TRUE(cli::parse({"--simulate", "pi", "--capture", "out.cap"}, o, nullptr));
    EXPECT_EQ(o.hid, Options::Hid::Simulate);
    EXPECT_EQ(o.simulation, u"pi");
    ASSERT_TRUE(cli::parse({"--capture", "out.cap", "--simulate", "demo"}, o, nullptr));
    EXPECT_EQ(o.simulation, u"demo");

    ASSERT_TRUE(cli::parse({"--capture", "b.cap", "--replay", "a.cap"}, o, nullptr));
    EXPECT_EQ(o.hid, Options::Hid::Replay);
    EXPECT_EQ(o.replayPath, u"a.cap");
    EXPECT_EQ(o.capturePath, u"b.cap");
}

TEST(CliModes, RefusesWhatMakesNoSense) {
    Options o;
    QString why;
    for (const QStringList& args :
         {QStringList{"--replay"}, QStringList{"--capture"},
          QStringList{"--simulate", "--replay", "a"}, QStringList{"--replay", "a", "--simulate"},
          QStringList{"--capture", "a", "--capture", "b"}, QStringList{"--simualte"},
          QStringList{"stray"}, QStringList{"--simulate", "ip"}, QStringList{"pi"}}) {
        why.clear();
        EXPECT_FALSE(cli::parse(args, o, &why)) << args.join(u' ').toStdString();
        EXPECT_FALSE(why.isEmpty());
    }
    EXPECT_TRUE(cli::usage().startsWith(u"usage: z4072"));
}

// A display name, once set, is appended by the window system to the title of every window.
TEST(CliModes, NamesTheApplicationWithoutADisplayName) {
    app();
    cli::nameApplication();
    EXPECT_EQ(QCoreApplication::applicationName(), u"Z4072");
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), u"Z4072");
    QCoreApplication::setApplicationName(QStringLiteral("renamed"));
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), u"renamed"); // follows: never set
    QCoreApplication::setApplicationName(QStringLiteral("Z4072"));
}

const cli::Mode& mode(const char* name) {
    for (const cli::Mode& m : cli::modes())
        if (qstrcmp(m.name, name) == 0)
            return m;
    throw std::invalid_argument(name);
}

// What the parser says of `args` for `mode`: "ok", or why not ("" when the usage says it all).
QString verdict(const char* name, const QStringList& args, cli::Arguments* parsed = nullptr) {
    cli::Arguments a;
    QString why;
    const bool ok = cli::parseArguments(mode(name), args, parsed ? *parsed : a, &why);
    return ok ? QStringLiteral("ok") : why;
}

TEST(CliParser, TakesEachKindOfValue) {
    cli::Arguments a;
    ASSERT_EQ(verdict("record",
                      {"--no-repeat", "out.xls", "--limit", "2147483647", "--interval", "007",
                       "--duration", "2.5", "--replay", "--odd.cap", "--no-repeat"},
                      &a),
              u"ok");
    EXPECT_EQ(a.files, QStringList{"out.xls"});
    EXPECT_EQ(a.number("--limit"), 2147483647.0);
    EXPECT_EQ(a.number("--interval"), 7.0);
    EXPECT_EQ(a.number("--duration"), 2.5);
    EXPECT_EQ(a.value("--replay"), u"--odd.cap") << "a value is the next argument, whatever it is";
    EXPECT_TRUE(a.has("--no-repeat"));
    EXPECT_FALSE(a.has("--simulate"));

    // A word the option knows is its value; anything else is the next argument.
    ASSERT_EQ(verdict("record", {"--simulate", "pi", "out.xls"}, &a), u"ok");
    EXPECT_EQ(a.value("--simulate"), u"pi");
    EXPECT_EQ(a.files, QStringList{"out.xls"});
    ASSERT_EQ(verdict("record", {"--simulate", "out.xls"}, &a), u"ok");
    EXPECT_TRUE(a.has("--simulate"));
    EXPECT_EQ(a.value("--simulate"), u"");
    EXPECT_EQ(a.files, QStringList{"out.xls"});
    EXPECT_TRUE(cli::synopsis(mode("record")).contains(u"[--simulate [pi] | --replay CAPTURE]"));
}

TEST(CliParser, RefusesWhatDoesNotFitWithTheReason) {
    const struct {
        QStringList args;
        const char* why;
    } cases[] = {
        {{"a", "--limit", "2147483648"}, "--limit needs a whole number above 0"},
        {{"a", "--limit", "0"}, "--limit needs a whole number above 0"}, // would record nothing
        {{"a", "--interval", "-1"}, "--interval needs a whole number"},
        {{"a", "--limit"}, "--limit needs a whole number above 0"},
        {{"a", "--duration", "0"}, "--duration needs a number of seconds above 0"},
        {{"a", "--duration", "nan"}, "--duration needs a number of seconds above 0"},
        {{"a", "--duration", "1e10"}, "--duration needs a number of seconds above 0"},
        {{"a", "--replay", ""}, "--replay needs a file name"},
        {{"a", "--limit", "1", "--limit", "1"}, "--limit given twice"},
        {{"a", "--replay", "x", "--simulate"}, "--simulate and --replay exclude each other"},
        {{"a", "--simulate", "--simulate"}, "--simulate and --replay exclude each other"},
        {{"a", "b", "--fast"}, "unknown option \"--fast\""}, // before the count of files
        {{"a", "b"}, ""},
        {{}, ""},
        {{""}, "file names must not be empty"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(verdict("record", c.args), QString::fromLatin1(c.why))
            << c.args.join(u' ').toStdString();
}

// "--name=value" is "--name value", in every mode; the value is all that follows the first "=".
TEST(CliParser, TakesAValueAfterAnEqualsSignToo) {
    cli::Arguments a;
    ASSERT_EQ(
        verdict("record",
                {"out.xls", "--limit=5", "--interval=007", "--duration=2.5", "--replay=--odd=.cap"},
                &a),
        u"ok");
    EXPECT_EQ(a.files, QStringList{"out.xls"});
    EXPECT_EQ(a.number("--limit"), 5.0);
    EXPECT_EQ(a.number("--interval"), 7.0);
    EXPECT_EQ(a.number("--duration"), 2.5);
    EXPECT_EQ(a.value("--replay"), u"--odd=.cap");
    ASSERT_EQ(verdict("record", {"--simulate=pi", "out.xls"}, &a), u"ok");
    EXPECT_EQ(a.value("--simulate"), u"pi");
    ASSERT_EQ(verdict("results add",
                      {"t.xls", "--asset=M-1", "--notes=a=b", "--temperature=-5",
                       "--database=postgresql://u@h/db?host=/run/pg"},
                      &a),
              u"ok");
    EXPECT_EQ(a.value("--asset"), u"M-1");
    EXPECT_EQ(a.value("--notes"), u"a=b");
    EXPECT_EQ(a.number("--temperature"), -5.0);
    EXPECT_EQ(a.value("--database"), u"postgresql://u@h/db?host=/run/pg");
    Options o;
    ASSERT_TRUE(cli::parse({"--simulate=pi", "--capture=out.cap"}, o, nullptr));
    EXPECT_EQ(o.simulation, u"pi");
    EXPECT_EQ(o.capturePath, u"out.cap");

    const struct {
        const char* mode;
        QStringList args;
        const char* why;
    } refused[] = {
        {"record", {"a", "--limit="}, "--limit needs a whole number above 0"},
        {"record", {"a", "--limit=5x"}, "--limit needs a whole number above 0"},
        {"record", {"a", "--limit=0"}, "--limit needs a whole number above 0"},
        {"decode", {"a", "b", "--limit=00"}, "--limit needs a whole number above 0"},
        {"record", {"a", "--replay="}, "--replay needs a file name"},
        {"record", {"a", "--no-repeat=yes"}, "--no-repeat takes no value"},
        {"record", {"a", "--simulate=ip"}, "--simulate takes demo or pi"},
        {"record", {"a", "--simulate="}, "--simulate takes demo or pi"},
        {"record", {"a", "--limit=1", "--limit", "1"}, "--limit given twice"},
        {"record",
         {"a", "--simulate=pi", "--replay=x"},
         "--simulate and --replay exclude each other"},
        {"record", {"a", "--fast=1"}, "unknown option \"--fast=1\""},
        {"results list", {"--asset="}, "--asset needs a value"},
    };
    for (const auto& c : refused)
        EXPECT_EQ(verdict(c.mode, c.args), QString::fromLatin1(c.why))
            << c.args.join(u' ').toStdString();
    // Without options every argument is a file, "=" or not.
    ASSERT_EQ(verdict("convert", {"--limit=5", "out.xml"}, &a), u"ok");
    EXPECT_EQ(a.files, (QStringList{"--limit=5", "out.xml"}));
}

TEST(CliParser, ModesWithoutOptionsTakeEveryArgumentAsAFile) {
    cli::Arguments a;
    ASSERT_EQ(verdict("convert", {"--in.txt", "out.xml"}, &a), u"ok");
    EXPECT_EQ(a.files, (QStringList{"--in.txt", "out.xml"}));
    EXPECT_EQ(verdict("devices", {"--x"}), u"devices takes no arguments");
    EXPECT_EQ(verdict("", {"x"}), u"unknown argument \"x\"");
}

TEST(CliHelp, ListsEveryModeWithItsWholeTextWithinTheWidth) {
    const QString help = cli::helpText();
    for (const QString& line : help.split(u'\n'))
        EXPECT_LE(line.size(), 87) << line.toStdString();
    const QString flat = help.simplified();
    for (const cli::Mode& m : cli::modes()) {
        const QString name = *m.name ? u' ' + QString::fromLatin1(m.name) : QString();
        EXPECT_TRUE(help.contains(u"\n  z4072" + name)) << m.name;
        EXPECT_TRUE(flat.contains(QString::fromLatin1(m.help))) << m.name;
        for (const cli::Option& o : m.options)
            EXPECT_TRUE(!o.help || flat.contains(QString::fromLatin1(o.help))) << o.name;
    }
}

// The program itself: which mode the first argument picks, and the usage line of wrong usage.
TEST(CliModes, PicksTheModeAndEndsWrongUsageWithItsUsageLine) {
    app();
    const struct {
        QStringList args;
        int status;
        const char* text; // stdout's first line, or stderr's last
    } cases[] = {
        {{"-h"}, 0, "usage: z4072 [MODE] [ARGUMENTS]"},
        {{"--version", "x"},
         2,
         "       z4072 results export OUT.csv [--database URL]"}, // the window's
        {{"report", "in.txt", "out.doc"}, 2, "usage: z4072 report IN OUT"},
        {{"devices", "x"}, 2, "usage: z4072 devices"},
    };
    for (const auto& c : cases) {
        QProcess p;
        p.start(QStringLiteral(Z4072_EXE), c.args);
        ASSERT_TRUE(p.waitForFinished(30'000));
        const QStringList out = QString::fromLocal8Bit(p.readAllStandardOutput()).split(u'\n');
        const QStringList err =
            QString::fromLocal8Bit(p.readAllStandardError()).split(u'\n', Qt::SkipEmptyParts);
        EXPECT_EQ(p.exitCode(), c.status) << c.args.join(u' ').toStdString();
        EXPECT_EQ(c.status == 0 ? out.value(0) : err.value(err.size() - 1),
                  QString::fromLatin1(c.text))
            << c.args.join(u' ').toStdString();
    }
}

} // namespace
