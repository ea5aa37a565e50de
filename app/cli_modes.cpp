#include "cli_modes.h"

#include "capture_file.h"
#include "demonstration.h"
#include "sim_cable.h"
#include "sim_hid_platform.h"
#include "tfrm_test.h"

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>

#include <cstdio>
#include <memory>

namespace cli {

namespace {

void printErr(const QString& text) {
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

// Checks a capture to the end before it is played, so that a broken file fails at once.
bool checkCapture(const QString& path, QString* error) {
    CaptureReader reader;
    if (!reader.open(path, error))
        return false;
    CaptureReport r;
    QString why;
    while (reader.next(r, &why)) {
    }
    if (!why.isEmpty()) {
        *error = path + QStringLiteral(": ") + why;
        return false;
    }
    return true;
}

std::shared_ptr<HidPlatform> simulatedCable(std::shared_ptr<SimReportSource> source) {
    auto platform = std::make_shared<SimHidPlatform>();
    platform->plug(sim::cableDeviceSpec(), false)->setReportSource(std::move(source));
    return platform;
}

} // namespace

QString usage() {
    return QStringLiteral("usage: z4072 [--simulate | --replay CAPTURE] [--capture CAPTURE]");
}

bool parse(const QStringList& args, Options& out, QString* error) {
    out = Options{};
    auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        auto value = [&](QString& into) {
            if (i + 1 >= args.size() || args[i + 1].isEmpty())
                return fail(a + QStringLiteral(" needs a file name"));
            if (!into.isEmpty())
                return fail(a + QStringLiteral(" given twice"));
            into = args[++i];
            return true;
        };
        if (a == u"--simulate") {
            if (out.hid != Options::Hid::System)
                return fail(QStringLiteral("--simulate and --replay exclude each other"));
            out.hid = Options::Hid::Simulate;
        } else if (a == u"--replay") {
            if (out.hid != Options::Hid::System)
                return fail(QStringLiteral("--simulate and --replay exclude each other"));
            if (!value(out.replayPath))
                return false;
            out.hid = Options::Hid::Replay;
        } else if (a == u"--capture") {
            if (!value(out.capturePath))
                return false;
        } else {
            return fail(QStringLiteral("unknown argument \"%1\"").arg(a));
        }
    }
    return true;
}

int run(int argc, char* argv[]) {
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    Options options;
    QString error;
    if (!parse(args, options, &error)) {
        printErr(error);
        printErr(usage());
        return 2;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Z4072"));
    QApplication::setApplicationDisplayName(QStringLiteral("Z4072"));
    QApplication::setApplicationVersion(QStringLiteral(Z4072_VERSION));

    std::shared_ptr<HidPlatform> platform;
    switch (options.hid) {
    case Options::Hid::System:
        break;
    case Options::Hid::Simulate:
        platform = simulatedCable(std::make_shared<sim::SimCable>(&sim::demonstration));
        break;
    case Options::Hid::Replay:
        if (!checkCapture(options.replayPath, &error)) {
            printErr(error);
            return 1;
        }
        platform = simulatedCable(std::make_shared<sim::CaptureCable>(options.replayPath));
        break;
    }

    CaptureWriter capture;
    QElapsedTimer sinceStart;
    if (!options.capturePath.isEmpty()) {
        if (!capture.open(options.capturePath, QDateTime::currentDateTime(), &error)) {
            printErr(error);
            return 1;
        }
        sinceStart.start();
    }

    TFrmTest window(nullptr, std::move(platform));
    if (capture.isOpen())
        window.setReportTap([&](quint8 id, const quint8* data, quint16 size) {
            capture.write(double(sinceStart.nsecsElapsed()) / 1e9, id, data, size);
        });
    window.show();
    return QApplication::exec();
}

} // namespace cli
