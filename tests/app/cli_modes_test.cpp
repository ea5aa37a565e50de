#include "app/cli_modes.h"
#include "tests/test_app.h"

#include <QGuiApplication>

#include <gtest/gtest.h>

namespace {

using cli::Options;

TEST(CliModes, ReadsTheWindowModes) {
    Options o;
    ASSERT_TRUE(cli::parse({}, o, nullptr));
    EXPECT_EQ(o.hid, Options::Hid::System);
    EXPECT_TRUE(o.capturePath.isEmpty());

    ASSERT_TRUE(cli::parse({"--simulate", "--capture", "out.cap"}, o, nullptr));
    EXPECT_EQ(o.hid, Options::Hid::Simulate);
    EXPECT_EQ(o.capturePath, u"out.cap");

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
          QStringList{"stray"}}) {
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

} // namespace
