#include "app/cli_modes.h"

#include <QCoreApplication>

int main(int argc, char* argv[]) {
    // The window's settings live under this name in the desktop's settings folder.
    QCoreApplication::setOrganizationName(QStringLiteral("z4072"));
    return cli::run(argc, argv);
}
