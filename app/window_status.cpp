#include "app/window_status.h"

#include "link/cable_connection.h"

#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QStatusBar>

WindowStatus::WindowStatus(QStatusBar& bar, CableConnection& cable) : QObject(&bar), cable_(cable) {
    bar.setObjectName(QStringLiteral("statusBar"));
    bar.setSizeGripEnabled(true);
    auto label = [&](const char* name) {
        auto* l = new QLabel(&bar);
        l->setObjectName(QString::fromLatin1(name));
        l->setTextFormat(Qt::PlainText);
        return l;
    };
    link = label("linkStatus");
    event = label("eventStatus");
    table = label("tableStatus");
    // The link's text names what to do: it is never cut. Where the last thing went gives way
    // first (whole in its tooltip); the counts stay at the right.
    event->setMinimumWidth(40);
    // In a window as narrow as the first size the link's text takes a second line.
    link->setWordWrap(true);
    bar.addWidget(link);
    bar.addWidget(event, 1);
    bar.addPermanentWidget(table);
    showTable(0, 0);
}

QString WindowStatus::linkText(CableConnection& cable, int idleReports) {
    const int row = cable.DevListBox.ItemIndex;
    const QString cableName =
        row >= 0 && row < cable.DevListBox.Count() ? cable.DevListBox.Text(row) : QString();
    switch (cable.state()) {
    case CableConnection::State::Connected: {
        QString where = cableName.isEmpty() ? CableConnection::kCableName : cableName;
        if (const TJvHidDevice* d = cable.ConnectedDevice())
            if (!d->PnPInfo().DevicePath().isEmpty())
                where += QStringLiteral(" at ") + d->PnPInfo().DevicePath();
        if (idleReports >= kQuietReports)
            return tr("Connected to %1, but the meter sends nothing: switch it on and set it to "
                      "send")
                .arg(where);
        return tr("Connected to %1").arg(where);
    }
    case CableConnection::State::MeterSilent:
        if (cableName.isEmpty()) // and the cable has gone since
            break;
        return tr("The meter is silent: switch it on and set it to send, then click CONNECT");
    case CableConnection::State::Disconnected:
        break;
    }
    if (cableName.isEmpty())
        return tr("Not connected: plug in the %1 cable, then click CONNECT")
            .arg(CableConnection::kCableName);
    return tr("Not connected: click CONNECT to read the meter through %1").arg(cableName);
}

QString WindowStatus::tableText(int rows, int unsaved) {
    const QLocale locale;
    QString text = rows == 1 ? tr("1 reading") : tr("%1 readings").arg(locale.toString(rows));
    if (unsaved > 0)
        text += tr(", %1 not saved").arg(locale.toString(unsaved));
    return text;
}

QString WindowStatus::savedText(const QString& fileName, int rows) {
    return tr("Table saved to %1 (%2)").arg(fileName, tableText(rows, 0));
}

QString WindowStatus::openedText(const QString& fileName, int rows) {
    return tr("%1 from %2").arg(tableText(rows, 0), fileName);
}

QString WindowStatus::resultText(qint64 id, const QString& where) {
    return tr("Test result %1 saved to %2").arg(id).arg(where);
}

void WindowStatus::showLink(int idleReports) {
    const QString text = linkText(cable_, idleReports);
    if (text != link->text())
        link->setText(text);
}

void WindowStatus::showTable(int rows, int unsaved) {
    const QString text = tableText(rows, unsaved);
    if (text != table->text())
        table->setText(text);
}

void WindowStatus::showEvent(const QString& text) {
    event->setText(text);
    event->setToolTip(text);
}
