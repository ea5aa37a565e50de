#include "app/main_window.h"

#include "app/about_dialogs.h"
#include "app/settings_dialog.h"
#include "app/window_settings.h"
#include "app/window_status.h"
#include "chart/trend_chart.h"
#include "core/decimal_sep.h"
#include "record/journal.h"
#include "record/reading_table.h"
#include "reports/help_viewer.h"
#include "results/result_store.h"

#include <QAction>
#include <QDialog>
#include <QDir>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QStatusBar>
#include <QTimer>

// The window's Help menu, its Settings and its status bar.

void TFrmTest::buildHelpMenu() {
    helpMenu = menuBar()->addMenu(tr("Help"));
    helpMenu->setObjectName(QStringLiteral("helpMenu"));
    // F1 works wherever the window has the focus, the menu shown or not.
    HELP1 = helpMenu->addAction(tr("Contents"), this, &TFrmTest::HELP1Click);
    HELP1->setObjectName(QStringLiteral("HELP1"));
    HELP1->setShortcut(QKeySequence(Qt::Key_F1));
    HELP1->setShortcutContext(Qt::ApplicationShortcut);
    addAction(HELP1);
    commandLine =
        helpMenu->addAction(tr("Command-Line Modes..."), this, &TFrmTest::commandLineClick);
    commandLine->setObjectName(QStringLiteral("commandLine"));
    helpMenu->addSeparator();
    about = helpMenu->addAction(tr("About Z4072"), this, &TFrmTest::aboutClick);
    about->setObjectName(QStringLiteral("about"));
    about->setMenuRole(QAction::AboutRole);
}

void TFrmTest::buildStatus() {
    status = new WindowStatus(*statusBar(), session_->cable());
    auto link = [this] { status->showLink(session_->chain().IdleReportCount()); };
    // The silence watch's timer also tells a meter that went quiet, and a cable that came or went.
    connect(ConTimer, &QTimer::timeout, this, link);
    connect(session_.get(), &MeterSession::stateChanged, this, link);
    connect(session_.get(), &MeterSession::historyLine, this, link);
    for (auto changed : {&ReadingTable::rowsAppended, &ReadingTable::rowsRemoved})
        connect(cds1, changed, this, &TFrmTest::showTableState);
    connect(cds1, &ReadingTable::tableReset, this, &TFrmTest::showTableState);
    connect(recordControls_, &RecordControls::unsavedChanged, this, &TFrmTest::showTableState);
    connect(recordControls_, &RecordControls::tableSaved, this,
            [this](const QString& file, int rows) {
                status->showEvent(WindowStatus::savedText(QDir::toNativeSeparators(file), rows));
            });
    connect(recordControls_, &RecordControls::tableOpened, this,
            [this](const QString& file, int rows) {
                status->showEvent(WindowStatus::openedText(QDir::toNativeSeparators(file), rows));
            });
    link();
    showTableState();
}

void TFrmTest::showTableState() {
    // A table being loaded has rows the views do not read yet.
    if (!cds1->updatesSuspended())
        status->showTable(cds1->rowCount(), unsavedReadings());
}

void TFrmTest::showResultSaved(qint64 id, const QString& where) {
    status->showEvent(WindowStatus::resultText(id, where));
}

QSettings& TFrmTest::settingsStore() {
    if (settings_)
        return settings_->settings();
    if (!ownSettings_)
        ownSettings_ = std::make_unique<QSettings>();
    return *ownSettings_;
}

void TFrmTest::settingsClick() {
    delete settingsDialog;
    settingsDialog = new SettingsDialog(settingsStore(), this);
    settingsDialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(settingsDialog, &QObject::destroyed, this, [this] { settingsDialog = nullptr; });
    settingsDialog->open();
}

KeptPlaces TFrmTest::keptPlaces() {
    KeptPlaces p;
    p.journalFolder = journal() ? journal()->folder() : journalFolder();
    p.journal = journal() ? journal()->path() : QString();
    p.settings = settingsStore().fileName();
    const QString db = settingsStore().value(QLatin1String(SettingsDialog::kDatabase)).toString();
    p.database = db.trimmed().isEmpty() ? ResultStore::defaultFile() : db;
    p.help = HelpFileOf(ExeDir, QStringLiteral("kr380.html"));
    p.pictures = Chtshow->pictureFolder();
    return p;
}

void TFrmTest::aboutClick() {
    // Made anew each time: the journal and the settings may have moved since.
    delete aboutDialog;
    aboutDialog = newAboutDialog(this, aboutText(keptPlaces()));
    aboutDialog->show();
    aboutDialog->raise();
    aboutDialog->activateWindow();
}

void TFrmTest::commandLineClick() {
    if (!commandLineDialog)
        commandLineDialog = newCommandLineDialog(this);
    commandLineDialog->show();
    commandLineDialog->raise();
    commandLineDialog->activateWindow();
}

void TFrmTest::HELP1Click() {
    helpFile = HelpFileOf(ExeDir, QStringLiteral("kr380.html"));
    if (!helpViewer)
        helpViewer = new HelpViewer(this);
    helpViewer->showContents(helpFile);
    helpViewer->show();
    helpViewer->raise();
    helpViewer->activateWindow();
}
