#include "app/main_window.h"

#include "app/panel_button.h"
#include "chart/trend_chart.h"
#include "core/decimal_sep.h"
#include "display/replica_panel.h"
#include "record/journal_recovery.h"
#include "record/reading_table.h"
#include "reports/data_report.h"
#include "reports/help_viewer.h"
#include "reports/report_form.h"
#include "results/ui/results_actions.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QIcon>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QProxyStyle>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
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

TFrmTest::TFrmTest(QWidget* parent, std::shared_ptr<HidPlatform> platform)
    : QMainWindow(parent), cable_(s_, replica_) {
    initAppResources();
    setObjectName(QStringLiteral("FrmTest"));
    // Fixed single border: system menu and minimise box, no maximise box.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setAttribute(Qt::WA_QuitOnClose);

    buildMenu();
    buildClient();

    cds1 = new ReadingTable(this);
    cds1->setObjectName(QStringLiteral("cds1"));
    DBGrid1->setTable(cds1);
    Chtshow->setTable(cds1);
    chain_ = std::make_unique<ReadingChain>(s_, replica_, *cds1);
    chain_->addRowListener([this](const ReadingTable& table, int row) {
        if (journal_)
            journal_->append(table, row);
    });
    recordControls_ = new RecordControls(chain_->recorder(), *cds1,
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
    chain_->interpreter().setPause([this](int ms) {
        if (readerHold_)
            readerHold_(ms);
    });

    // The cable's reader waits out the pause after each frame; the window does not.
    setReaderHold([this](int ms) { cable_.holdReader(ms); });
    cable_.setReportHandler(
        [this](quint8 id, const quint8* data, quint16 size) { Read380(id, data, size); });
    cable_.setMessageBox([this](const QString& text) {
        QMessageBox::information(this, QGuiApplication::applicationDisplayName(), text);
    });
    cable_.setPanelObserver([this] {
        Panel2->setCaption(cable_.Panel2Caption);
        Panel2->setFontColor(cable_.Panel2Color == CableConnection::PanelColor::Yellow
                                 ? QColor(255, 255, 0)
                                 : QColor(Qt::black));
    });
    connect(Panel2, &PanelButton::clicked, this, &TFrmTest::Panel2Click);
    connect(SetFeature, &QPushButton::clicked, this, &TFrmTest::SetFeatureClick);
    HidCtl =
        new TJvHidDeviceController(this, platform ? std::move(platform) : makeSystemHidPlatform());
    cable_.attach(HidCtl);

    ConTimer = new QTimer(this);
    ConTimer->setObjectName(QStringLiteral("ConTimer"));
    ConTimer->setInterval(100);
    connect(ConTimer, &QTimer::timeout, this, &TFrmTest::ConTimerTimer);
    SampInterTime = new QTimer(this);
    SampInterTime->setObjectName(QStringLiteral("SampInterTime"));
    SampInterTime->setInterval(1000);
    connect(SampInterTime, &QTimer::timeout, this, &TFrmTest::SampInterTimeTimer);

    FormCreate();
    buildResultsMenu();

    ConTimer->start();
    SampInterTime->start();

    // Client area 619 x 526 below the menu bar; the size is fixed. The scroll bars lie beside
    // it rather than over it, so they never cover the panel's edge or the grid's newest row.
    const int menuHeight = menuBar()->sizeHint().height();
    const int barWidth = clientArea->verticalScrollBar()->sizeHint().width();
    const int barHeight = clientArea->horizontalScrollBar()->sizeHint().height();
    clientArea->setFixedSize(kClientWidth + barWidth, kClientHeight + barHeight);
    setFixedSize(clientArea->width(), clientArea->height() + menuHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(), size());
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

TFrmTest::~TFrmTest() {
    // The controller goes first: it stops the cable's reader while the window is still whole.
    delete HidCtl;
    HidCtl = nullptr;
    // The window closes normally: the journal is no longer needed.
    if (journal_)
        journal_->discard();
}

void TFrmTest::say(const QString& line) {
    cable_.HistoryListBox.Add(line);
    qWarning().noquote() << line;
}

void TFrmTest::keepJournal(const QString& folder) {
    journal_ = std::make_unique<RecordJournal>(folder);
    journal_->setFailureSink([this](const QString& line) { say(line); });
}

void TFrmTest::offerRecovery() {
    QStringList problems;
    const std::vector<RecoveredJournal> found =
        takeOrphanJournals(journal_ ? journal_->folder() : journalFolder(), &problems);
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
        if (!recordControls_->addRowsOf(j.path))
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

    // Help has no menu entry of its own: only its shortcut reaches it.
    HELP1 = new QAction(QStringLiteral("  Help     "), this);
    HELP1->setObjectName(QStringLiteral("HELP1"));
    HELP1->setShortcut(QKeySequence(Qt::Key_F1));
    HELP1->setShortcutContext(Qt::ApplicationShortcut);
    addAction(HELP1);
    connect(HELP1, &QAction::triggered, this, &TFrmTest::HELP1Click);
}

void TFrmTest::buildResultsMenu() {
    results = new ResultsActions(this, Chtshow, cds1);
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

    Panel4 = new ReplicaPanel(replica_, client);
    Panel4->move(2, 30);

    buildRecordToolbar();

    DBGrid1 = new ReadingGrid(client);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setGeometry(0, 348, 617, 177);
    DBGrid1->stackUnder(Panel7);

    Chtshow = new TrendChart(s_, client);
    Chtshow->setGeometry(18, 612, 361, 209);

    SetFeature = new QPushButton(QStringLiteral("SetFeature"), client);
    SetFeature->setObjectName(QStringLiteral("SetFeature"));
    SetFeature->setGeometry(698, 694, 75, 25);

    fitClientToChildren();
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

void TFrmTest::fitClientToChildren() {
    QRect all(0, 0, kClientWidth, kClientHeight);
    for (QWidget* w : client->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        all |= w->geometry();
    client->setFixedSize(all.right() + 1, all.bottom() + 1);
}

void TFrmTest::FormCreate() {
    s_.ExeDir = ExeDirOf(QCoreApplication::applicationFilePath());
    decimalSep_ = GetDecimalSep();
    chain_->interpreter().setDecimalSep(decimalSep_);
    set10k->setChecked(true);
    Chtshow->startUp();
    RepeatSet->setChecked(true);
    setWindowTitle(QStringLiteral("Z4072 V2.00"));
}

void TFrmTest::Panel3Click() {
    QCoreApplication::quit();
}

void TFrmTest::Read380(quint8 reportId, const quint8* data, quint16 size) {
    chain_->Read380(reportId, data, size);
}

void TFrmTest::ShowData740(const QString& frameHex) {
    chain_->ShowData740(frameHex);
}

void TFrmTest::DispInit(bool show) {
    replica_.DispInit(show);
}

void TFrmTest::ConTimerTimer() {
    cable_.ConTimerTimer();
}

void TFrmTest::Panel2Click() {
    cable_.Panel2Click();
}

void TFrmTest::SetFeatureClick() {
    cable_.SetFeatureClick();
}

void TFrmTest::SampInterTimeTimer() {
    recordControls_->SampInterTimeTimer();
}

void TFrmTest::INDataToTable(int kind) {
    chain_->INDataToTable(kind);
}

void TFrmTest::ClearRClick() {
    recordControls_->ClearRClick();
}

void TFrmTest::Save_asClick() {
    recordControls_->Save_asClick();
}

void TFrmTest::OpenClick() {
    recordControls_->OpenClick();
}

void TFrmTest::MajPrintClick() {
    s_.DataReportPages = DataReportPageTotal(cds1 ? cds1->rowCount() : 1);
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
    QuickRep1->Preview(this, cds1, s_.DataReportPages);
    update();
    if (QWidget* w = centralWidget())
        w->update();
}

void TFrmTest::HELP1Click() {
    helpFile = HelpFileOf(s_.ExeDir, QStringLiteral("kr380.html"));
    if (!helpViewer)
        helpViewer = new HelpViewer(this);
    helpViewer->showContents(helpFile);
    helpViewer->show();
    helpViewer->raise();
    helpViewer->activateWindow();
}
