#include "app/about_dialogs.h"

#include "app/cli_info.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QUrl>
#include <QVBoxLayout>

QString shownDatabase(const QString& url) {
    const QString u = url.trimmed();
    if (u.startsWith(u"postgresql:") || u.startsWith(u"postgres:"))
        return QUrl(u).toString(QUrl::RemovePassword);
    return QDir::toNativeSeparators(u);
}

QString aboutText(const KeptPlaces& p) {
    const QString journal =
        p.journal.isEmpty() ? QObject::tr("made with the first reading of this run") : p.journal;
    return QObject::tr("Z4072 %1\n"
                       "The desktop program for the KR740 insulation-resistance tester: the meter "
                       "live through its USB cable, its readings recorded, kept, printed and "
                       "plotted, and test results kept per asset.\n"
                       "\n"
                       "Free software under the GNU General Public License, version 3 or (at your "
                       "option) any later version; it comes with no warranty.\n"
                       "Built with Qt %2, running on Qt %3.\n"
                       "\n"
                       "Readings being recorded are kept in the journal folder until they are "
                       "saved:\n    %4\n"
                       "This run's journal:\n    %5\n"
                       "Settings:\n    %6\n"
                       "Test results database:\n    %7\n"
                       "Help:\n    %8\n"
                       "Chart pictures:\n    %9")
        .arg(QStringLiteral(Z4072_VERSION), QStringLiteral(QT_VERSION_STR),
             QString::fromLatin1(qVersion()), QDir::toNativeSeparators(p.journalFolder),
             QDir::toNativeSeparators(journal), QDir::toNativeSeparators(p.settings),
             shownDatabase(p.database), QDir::toNativeSeparators(p.help),
             QDir::toNativeSeparators(p.pictures));
}

QDialog* newAboutDialog(QWidget* parent, const QString& text) {
    auto* d = new QDialog(parent);
    d->setObjectName(QStringLiteral("AboutDialog"));
    d->setWindowTitle(QObject::tr("About Z4072"));
    auto* layout = new QVBoxLayout(d);
    auto* label = new QLabel(text, d);
    label->setObjectName(QStringLiteral("aboutText"));
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setMinimumWidth(label->fontMetrics().averageCharWidth() * 72);
    layout->addWidget(label);
    auto* ok = new QDialogButtonBox(QDialogButtonBox::Ok, d);
    QObject::connect(ok, &QDialogButtonBox::accepted, d, &QDialog::accept);
    layout->addWidget(ok);
    return d;
}

QDialog* newCommandLineDialog(QWidget* parent) {
    auto* d = new QDialog(parent);
    d->setObjectName(QStringLiteral("CommandLineDialog"));
    d->setWindowTitle(QObject::tr("Command-Line Modes"));
    auto* layout = new QVBoxLayout(d);
    layout->addWidget(new QLabel(
        QObject::tr("Besides the window, z4072 runs these modes from a terminal (z4072 --help "
                    "prints the same):"),
        d));
    auto* text = new QPlainTextEdit(cli::helpText(), d);
    text->setObjectName(QStringLiteral("modes"));
    text->setReadOnly(true);
    text->setLineWrapMode(QPlainTextEdit::NoWrap);
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    text->setFont(fixed);
    // Room for the 87 columns --help fills, and a good part of its lines.
    const QFontMetrics m(fixed);
    text->setMinimumSize(m.horizontalAdvance(QString(90, u'M')) + 24, m.lineSpacing() * 30);
    layout->addWidget(text);
    auto* close = new QDialogButtonBox(QDialogButtonBox::Close, d);
    QObject::connect(close, &QDialogButtonBox::rejected, d, &QDialog::reject);
    layout->addWidget(close);
    return d;
}
