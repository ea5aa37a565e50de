#include "app/cli_info.h"

#include "app/cli_modes.h"

#include <cstdio>

namespace cli {

namespace {

int print(const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
    return 0;
}

} // namespace

QString helpText() {
    QString text = QStringLiteral(
        "usage: z4072 [MODE] [ARGUMENTS]\n"
        "Shows the KR740 insulation-resistance tester live through its \"USB to Serial\" cable,\n"
        "records its readings into a table, keeps, prints and plots them.\n"
        "\n");
    for (const Mode& m : modes())
        text += helpLines(m);
    return text + QStringLiteral(
                      "\n"
                      "An option's value may also follow it after \"=\": --limit=5 is --limit 5.\n"
                      "Exit status: 0 done, 1 failed (the reason on stderr), 2 wrong usage.\n"
                      "Recorded readings are also kept in a journal in $XDG_STATE_HOME/z4072 "
                      "(else\n"
                      "~/.local/state/z4072) until the program ends normally; the window offers "
                      "to restore\n"
                      "those of a run that did not.\n");
}

int printVersion(const Arguments&) {
    return print(QStringLiteral("z4072 " Z4072_VERSION "\n"));
}

int printHelp(const Arguments&) {
    return print(helpText());
}

} // namespace cli
