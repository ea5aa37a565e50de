#include "app/cli_info.h"

#include <cstdio>

namespace cli {

QString helpText() {
    return QStringLiteral(
        "usage: z4072 [MODE] [ARGUMENTS]\n"
        "Shows the KR740 insulation-resistance tester live through its \"USB to Serial\" cable,\n"
        "records its readings into a table, keeps, prints and plots them.\n"
        "\n"
        "  z4072                      the window, on the computer's HID devices\n"
        "  z4072 --simulate           the window on a simulated cable and meter that runs a\n"
        "                             demonstration of the meter's modes\n"
        "  z4072 --replay CAPTURE     the window on a simulated cable that plays CAPTURE\n"
        "  z4072 --capture CAPTURE    (beside any of the above) append every input report that\n"
        "                             reaches the frame reassembly to CAPTURE\n"
        "  z4072 convert IN OUT       load table file IN, save it as OUT (.xml: XML data packet,\n"
        "                             any other extension: tab-separated text)\n"
        "  z4072 decode CAPTURE OUT [--limit N] [--interval S] [--no-repeat]\n"
        "                             run CAPTURE's reports through reassembly, interpretation\n"
        "                             and the recording rules, save the table as OUT\n"
        "  z4072 record OUT [--simulate | --replay CAPTURE] [--limit N] [--interval S]\n"
        "        [--no-repeat] [--duration SECONDS]\n"
        "                             no window: connect to the cable (or the simulated one) and\n"
        "                             record its readings until Ctrl+C, SIGTERM or SECONDS; each\n"
        "                             row goes to stdout and to OUT (tab-separated: a line at a\n"
        "                             time; .xml: written at the end). Exit 1 when the cable is\n"
        "                             missing, unplugged or its meter silent\n"
        "  z4072 report IN OUT        load table file IN, write its data report as OUT\n"
        "                             (.pdf .html .txt .csv)\n"
        "  z4072 devices              list the HID devices as the window sees them: name,\n"
        "                             vendor:product, read/write or not, path; the cable that\n"
        "                             CONNECT uses marked with *\n"
        "  z4072 analyze IN           load table file IN, print one line per insulation test in\n"
        "                             it: first row number, start time, function, duration (s),\n"
        "                             R(30 s), R(1 min), R(10 min), DAR, PI (TAB-separated, \"-\"\n"
        "                             where not available)\n"
        "  z4072 --version            the version\n"
        "  z4072 --help               this text\n"
        "\n"
        "Exit status: 0 done, 1 failed (the reason on stderr), 2 wrong usage.\n"
        "Recorded readings are also kept in a journal in $XDG_STATE_HOME/z4072 (else\n"
        "~/.local/state/z4072) until the program ends normally; the window offers to restore\n"
        "those of a run that did not.\n");
}

bool printInfo(const QStringList& args, int* status) {
    if (args.size() != 1)
        return false;
    QString text;
    if (args[0] == u"--version")
        text = QStringLiteral("z4072 " Z4072_VERSION "\n");
    else if (args[0] == u"--help" || args[0] == u"-h")
        text = helpText();
    else
        return false;
    std::fputs(text.toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
    *status = 0;
    return true;
}

} // namespace cli
