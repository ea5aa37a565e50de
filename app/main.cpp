#include "tfrm_test.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Z4072"));
    QApplication::setApplicationDisplayName(QStringLiteral("Z4072"));
    QApplication::setApplicationVersion(QStringLiteral(Z4072_VERSION));

    TFrmTest window;
    window.show();
    return QApplication::exec();
}
