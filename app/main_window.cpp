#include "app/main_window.h"

#include "record/test_model.h"

#include "app/client_layout.h"
#include "app/panel_button.h"
#include "app/window_settings.h"
#include "chart/trend_chart.h"
#include "core/decimal_sep.h"
#include "display/replica_panel.h"
#include "record/journal_recovery.h"
#include "record/reading_table.h"
#include "reports/data_report.h"
#include "reports/report_form.h"
#include "results/ui/results_actions.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QHeaderView>
#include <QIcon>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QProxyStyle>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <QtDebug>

static void initAppResources() {
    Q_INIT_RESOURCE(app);
}

namespace {

QFont arialPx(int px, bool bold) {
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(px);
    f.setBold(bold);
    return f;
}

QToolButton* toolButton(QWidget* parent, const char* name, const QRect& place, const QString& hint,
                        const QString& icon) {
    auto* b = new QToolButton(parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(place);
    b->setToolTip(hint);
    b->setAutoRaise(true);
    b->setIcon(QIcon(icon));
    b->setIconSize(QSize(16, 16));
    return b;
}

// The record toolbar's check boxes have the narrow places of a classic toolbar: a 13-pixel box
// with a small gap before the caption, so that "Repeat" reads whole in its 54 pixels and
// "Sampling Interval" ends before the seconds box.
class ToolbarCheckStyle : public QProxyStyle {
public:
    int pixelMetric(PixelMetric metric, const QStyleOption* option,
                    const QWidget* widget) const override {
        switch (metric) {
        case PM_IndicatorWidth:
        case PM_IndicatorHeight:
            return 13;
        case PM_CheckBoxLabelSpacing:
            return 3;
        default:
            return QProxyStyle::pixelMetric(metric, option, widget);
        }
    }
};

} // namespace

TFrmTest::TFrmTest(QWidget* parent, std::shared_ptr<HidPlatform> platform) : QMainWindow(parent) {
    initAppResources();
    setObjectName(QStringLiteral("FrmTest"));
    // A sizeable border with minimise and maximise boxes: a larger window shows more of the
    // grid and the chart.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                   Qt::WindowCloseButtonHint);
    setAttribute(Qt::WA_QuitOnClose);

    cds1 = new ReadingTable(this);
    cds1->setObjectName(QStringLiteral("cds1"));
    // Before anything that reads the tests follows the table: it takes each change in first.
    tests = new TestModel(*cds1, this);
    session_ = std::make_unique<MeterSession>(
        platform ? std::move(platform) : makeSystemHidPlatform(), *cds1);
    HidCtl = session_->controller();

    buildMenu();
    buildClient();
    DBGrid1->setTable(cds1);
    Chtshow->setTests(tests);
    recordControls_ = new RecordControls(session_->recorder(), *cds1,
                                         {this,
                                          RepeatSet,
                                          RecordSI,
                                          RecordSITime,
                                          {set1k, set5k, set10k, set50k, set100k, setlimit},
                                          SpeedButton1,
                                          SpeedButton2,
                                          SpeedButton3,
                                          DBGrid1},
                                         this);
    connect(session_.get(), &MeterSession::rowRecorded, recordControls_,
            &RecordControls::rowRecorded);
    connect(session_.get(), &MeterSession::message, this, [this](const QString& text) {
        QMessageBox::information(this, QGuiApplication::applicationDisplayName(), text);
    });
    connect(session_.get(), &MeterSession::journalFailed, this,
            [](const QString& line) { qWarning().noquote() << line; });
    connect(session_.get(), &MeterSession::stateChanged, this, &TFrmTest::showConnectState);
    connect(Panel2, &PanelButton::clicked, this, &TFrmTest::Panel2Click);
    connect(SetFeature, &QPushButton::clicked, this, &TFrmTest::SetFeatureClick);
    // Connected after the chart's own handler: this runs once the toggle is done.
    for (QToolButton* toggle : {Chtshow->TbFd, Chtshow->TbSx})
        connect(toggle, &QToolButton::clicked, this, &TFrmTest::chartToggled);
    connect(DBGrid1, &ReadingGrid::wholeWidthChanged, this, &TFrmTest::layoutClient);

    ConTimer = &session_->conTimer();
    SampInterTime = &session_->sampTimer();

    FormCreate();
    buildResultsMenu();
    buildHelpMenu();
    buildStatus();

    session_->startTimers();

    // The desktop is ending the session: nobody is there to answer, the journal keeps the rows.
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this] { sessionEnded_ = true; });

    // The window opens with a client area of 619 x 526 between the menu bar and the status bar,
    // with the vertical scroll bar to the chart below beside it rather than over it, so that it
    // never covers the panel's edge. It may grow, never shrink below that.
    const int barWidth = clientArea->verticalScrollBar()->sizeHint().width();
    clientArea->setMinimumSize(kClientWidth + barWidth, kClientHeight);
    clientArea->installEventFilter(this);
    resize(clientArea->minimumSize() +
           QSize(0, menuBar()->sizeHint().height() + statusBar()->sizeHint().height()));
    layoutClient();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(), size());
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

TFrmTest::~TFrmTest() {
    // The controller goes first: it stops the cable's reader while the window is still whole.
    session_->closeController();
    HidCtl = nullptr;
    // The window closes normally: the journal is no longer needed. When the desktop ended the
    // session nobody was asked about unsaved readings: the journal stays for the next start.
    if (!sessionEnded_)
        session_->discardJournal();
    destroyParts();
}

void TFrmTest::destroyParts() {
    // The members go before the base class destroys the children, and the children hold
    // references to members: the replica panel to the display picture, the
    // record controls to the chain's recorder. So the children go first, here, while everything
    // they look at is whole. The table stays: the chain, a member, holds it to the end.
    session_->disconnect(this);
    delete std::exchange(recordControls_, nullptr);
    QList<QPointer<QWidget>> parts;
    for (QObject* child : children())
        if (child->isWidgetType())
            parts << static_cast<QWidget*>(child);
    for (const QPointer<QWidget>& part : parts)
        delete part.data(); // null when an earlier one took it along
}

int TFrmTest::unsavedReadings() const {
    return recordControls_ ? recordControls_->unsavedRows() : 0;
}

TFrmTest::LeaveAnswer TFrmTest::askAboutUnsaved(int count) {
    if (askLeave_)
        return askLeave_(count);
    QMessageBox box(QMessageBox::Warning, QGuiApplication::applicationDisplayName(),
                    unsavedQuestion(count),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, this);
    box.setDefaultButton(QMessageBox::Save);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
    case QMessageBox::Save:
        return LeaveAnswer::Save;
    case QMessageBox::Discard:
        return LeaveAnswer::Discard;
    default:
        return LeaveAnswer::Cancel;
    }
}

QString TFrmTest::unsavedQuestion(int count) {
    return (count == 1 ? QStringLiteral("1 reading is not saved.")
                       : QStringLiteral("%1 readings are not saved.").arg(count)) +
           QStringLiteral("\nDo you want to save them before leaving?");
}

bool TFrmTest::mayLeave() {
    if (sessionEnded_)
        return true;
    const int count = unsavedReadings();
    if (count == 0)
        return true;
    switch (askAboutUnsaved(count)) {
    case LeaveAnswer::Save:
        return recordControls_->Save_asClick();
    case LeaveAnswer::Discard:
        return true;
    case LeaveAnswer::Cancel:
        break;
    }
    return false;
}

void TFrmTest::closeEvent(QCloseEvent* event) {
    if (mayLeave())
        event->accept();
    else
        event->ignore();
}

void TFrmTest::say(const QString& line) {
    session_->cable().HistoryListBox.Add(line);
    qWarning().noquote() << line;
}

void TFrmTest::keepJournal(const QString& folder) {
    session_->keepJournal(folder);
}

void TFrmTest::keepSettings(std::unique_ptr<QSettings> settings) {
    delete settings_;
    settings_ =
        new WindowSettings(*this, settings ? std::move(settings) : std::make_unique<QSettings>());
}

void TFrmTest::offerRecovery() {
    QStringList problems;
    const std::vector<RecoveredJournal> found =
        takeOrphanJournals(journal() ? journal()->folder() : journalFolder(), &problems);
    for (const QString& p : problems)
        say(QStringLiteral("JOURNAL ERROR: ") + p);
    if (found.empty())
        return;
    const QString question = recoveryQuestion(found);
    const bool yes = askRecovery_
                         ? askRecovery_(question)
                         : QMessageBox::question(this, QGuiApplication::applicationDisplayName(),
                                                 question, QMessageBox::Yes | QMessageBox::No,
                                                 QMessageBox::Yes) == QMessageBox::Yes;
    if (!yes)
        return;
    for (const RecoveredJournal& j : found)
        if (!recordControls_->restoreRowsOf(j.path))
            break;
}

void TFrmTest::buildMenu() {
    QMenuBar* bar = menuBar();
    bar->setNativeMenuBar(false);
    QMenu* record = bar->addMenu(QStringLiteral("Record"));
    RecSet = record->addMenu(QStringLiteral(" RecordSet"));
    RecSet->setObjectName(QStringLiteral("RecSet"));
    auto* group = new QActionGroup(this);
    group->setExclusive(true);
    auto item = [&](const char* name, const char* caption) {
        QAction* a = RecSet->addAction(QString::fromLatin1(caption));
        a->setObjectName(QString::fromLatin1(name));
        a->setCheckable(true);
        group->addAction(a);
        return a;
    };
    set1k = item("set1k", "1000");
    set5k = item("set5k", "5000");
    set10k = item("set10k", "10000");
    set50k = item("set50k", "50000");
    set100k = item("set100k", "100000");
    setlimit = item("setlimit", "Limitless");

    record->addSeparator();
    settingsAction = record->addAction(tr("Settings..."), this, &TFrmTest::settingsClick);
    settingsAction->setObjectName(QStringLiteral("settingsAction"));
    settingsAction->setShortcut(QKeySequence::Preferences);
}

void TFrmTest::buildResultsMenu() {
    results = new ResultsActions(this, Chtshow, *tests);
    connect(results, &ResultsActions::resultSaved, this, &TFrmTest::showResultSaved);
}

void TFrmTest::buildClient() {
    clientArea = new QScrollArea(this);
    clientArea->setFrameShape(QFrame::NoFrame);
    clientArea->setWidgetResizable(false);
    client = new QWidget;
    client->setObjectName(QStringLiteral("client"));
    client->setAutoFillBackground(true);

    Panel2 = new PanelButton(QStringLiteral("CONNECT"), client);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setGeometry(414, 2, 119, 27);
    Panel2->setCaptionFont(arialPx(16, true));

    Panel3 = new PanelButton(QStringLiteral("EXIT"), client);
    Panel3->setObjectName(QStringLiteral("Panel3"));
    Panel3->setGeometry(536, 2, 81, 27);
    Panel3->setCaptionFont(arialPx(19, true));
    connect(Panel3, &PanelButton::clicked, this, &TFrmTest::Panel3Click);

    Panel4 = new ReplicaPanel(session_->display(), client);
    Panel4->move(2, 30);

    buildRecordToolbar();

    DBGrid1 = new ReadingGrid(client);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setGeometry(0, 348, 617, 177);
    DBGrid1->stackUnder(Panel7);

    Chtshow = new TrendChart(client);
    Chtshow->setGeometry(18, 612, 361, 209);

    // With the connection's controls, beside CONNECT.
    SetFeature = new QPushButton(QStringLiteral("SetFeature"), client);
    SetFeature->setObjectName(QStringLiteral("SetFeature"));
    SetFeature->setGeometry(ClientLayout::kSetFeature);
    SetFeature->setToolTip(tr("Sends the cable its configuration again (the feature report that "
                              "CONNECT sends: 2400 baud), for a cable that lost it"));

    clientArea->setWidget(client);
    setCentralWidget(clientArea);
}

void TFrmTest::buildRecordToolbar() {
    Panel7 = new QFrame(client);
    Panel7->setObjectName(QStringLiteral("Panel7"));
    Panel7->setGeometry(2, 320, 615, 33);
    Panel7->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel7->setAutoFillBackground(true);
    QPalette silver = Panel7->palette();
    silver.setColor(QPalette::Window, QColor(0xC0, 0xC0, 0xC0));
    Panel7->setPalette(silver);

    const QFont small = arialPx(11, false);
    auto* checkStyle = new ToolbarCheckStyle;
    checkStyle->setParent(Panel7);
    RepeatSet = new QCheckBox(QStringLiteral("Repeat"), Panel7);
    RepeatSet->setObjectName(QStringLiteral("RepeatSet"));
    RepeatSet->setGeometry(5, 5, 54, 20);
    RepeatSet->setToolTip(QStringLiteral("Repeage Record"));
    RepeatSet->setFont(small);
    RepeatSet->setStyle(checkStyle);

    RecordSI = new QCheckBox(QStringLiteral("Sampling Interval              'S"), Panel7);
    RecordSI->setObjectName(QStringLiteral("RecordSI"));
    RecordSI->setGeometry(60, 4, 167, 19);
    RecordSI->setFont(small);
    RecordSI->setStyle(checkStyle);

    RecordSITime = new QLineEdit(QStringLiteral("10"), Panel7);
    RecordSITime->setObjectName(QStringLiteral("RecordSITime"));
    RecordSITime->setGeometry(166, 0, 29, 22);
    RecordSITime->setFont(small);
    QPalette white = RecordSITime->palette();
    white.setColor(QPalette::Base, Qt::white);
    white.setColor(QPalette::Text, Qt::black);
    RecordSITime->setPalette(white);

    SpeedButton1 = toolButton(Panel7, "SpeedButton1", QRect(240, 2, 25, 21),
                              QStringLiteral("Save Data"), QStringLiteral(":/icons/save.svg"));
    SpeedButton2 = toolButton(Panel7, "SpeedButton2", QRect(266, 2, 25, 21),
                              QStringLiteral("Delete Data"), QStringLiteral(":/icons/delete.svg"));
    SpeedButton3 = toolButton(Panel7, "SpeedButton3", QRect(290, 2, 25, 21),
                              QStringLiteral("Open Data"), QStringLiteral(":/icons/open.svg"));
    MajPrint = toolButton(Panel7, "MajPrint", QRect(318, 2, 29, 21), QStringLiteral("Print Data"),
                          QStringLiteral(":/icons/print.svg"));
    connect(MajPrint, &QToolButton::clicked, this, &TFrmTest::MajPrintClick);
    QuickRep1 = new DataReportForm(this);
}

void TFrmTest::layoutClient() {
    if (!clientArea || !DBGrid1 || !Chtshow)
        return;
    const ClientScroll scroll = ClientScroll::forArea(
        clientArea->size(), clientArea->verticalScrollBar()->sizeHint().width(),
        clientArea->horizontalScrollBar()->sizeHint().height(), DBGrid1->wholeWidth());
    const ClientLayout& l = scroll.layout;
    clientArea->setVerticalScrollBarPolicy(scroll.vertical ? Qt::ScrollBarAlwaysOn
                                                           : Qt::ScrollBarAlwaysOff);
    clientArea->setHorizontalScrollBarPolicy(scroll.horizontal ? Qt::ScrollBarAlwaysOn
                                                               : Qt::ScrollBarAlwaysOff);
    client->setFixedSize(l.client);
    DBGrid1->setGeometry(l.grid);
    // An enlarged chart covers the window's top part, whatever its size; the place it goes
    // back to is the one for the window's new size.
    if (Chtshow->TbSx->isHidden()) {
        Chtshow->setGeometry(l.chart);
        return;
    }
    const QRect back = l.chart.translated(client->pos());
    Chtshow->SavedChartLeft = back.left();
    Chtshow->SavedChartTop = back.top();
    Chtshow->SavedChartWidth = back.width();
    Chtshow->SavedChartHeight = back.height();
    Chtshow->setFormBounds(ClientLayout::enlargedChart(scroll.view));
}

void TFrmTest::chartToggled() {
    if (!Chtshow->TbSx->isHidden()) {
        // Enlarged by the window's outer size; the visible part may be smaller (the menu and the
        // status bar): it is made to fit, so that the x axis shows.
        layoutClient();
        return;
    }
    // Restored. The chart tells its enlarged state by its top, and its place beside the grid is
    // at the top too: with nothing saved to go back to, its next click enlarges it.
    Chtshow->SavedChartLeft = Chtshow->SavedChartTop = 0;
    Chtshow->SavedChartWidth = Chtshow->SavedChartHeight = 0;
    layoutClient();
}

bool TFrmTest::eventFilter(QObject* watched, QEvent* event) {
    if (watched == clientArea && event->type() == QEvent::Resize)
        layoutClient();
    return QMainWindow::eventFilter(watched, event);
}

void TFrmTest::FormCreate() {
    ExeDir = ExeDirOf(QCoreApplication::applicationFilePath());
    decimalSep_ = GetDecimalSep();
    session_->chain().setDecimalSep(decimalSep_);
    set10k->setChecked(true);
    Chtshow->startUp();
    RepeatSet->setChecked(true);
    setWindowTitle(QStringLiteral("Z4072 V2.00"));
}

void TFrmTest::Panel3Click() {
    // Through the close event, so that unsaved readings are asked about as on Alt+F4.
    close();
}

void TFrmTest::showConnectState() {
    // CONNECT in yellow: the silence watch disconnected, until the next click.
    const CableConnection::State state = session_->state();
    Panel2->setCaption(state == CableConnection::State::Connected ? QStringLiteral("DISCONNECT")
                                                                  : QStringLiteral("CONNECT"));
    Panel2->setFontColor(state == CableConnection::State::MeterSilent ? QColor(255, 255, 0)
                                                                      : QColor(Qt::black));
}

void TFrmTest::Panel2Click() {
    session_->toggle();
}

void TFrmTest::SetFeatureClick() {
    session_->sendFeature();
}

void TFrmTest::MajPrintClick() {
    DataReportPages = DataReportPageTotal(cds1 ? cds1->rowCount() : 1);
    // The grid does not follow the report through the table; it is resumed whatever happens.
    struct Resume {
        ReadingTable* table;
        ~Resume() {
            if (table)
                table->resumeUpdates();
        }
    } resume{cds1};
    if (cds1)
        cds1->suspendUpdates();
    QuickRep1->Preview(this, cds1, DataReportPages);
    update();
    if (QWidget* w = centralWidget())
        w->update();
}
