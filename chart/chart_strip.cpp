// The trend chart's tool strip along its top edge, the list of tests and the figures of the
// test on view.
#include "chart/chart_style.h"
#include "chart/trend_chart.h"
#include "record/reading_table.h"
#include "record/test_model.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QToolButton>

using namespace chart_style;

namespace {

QToolButton* stripButton(QWidget* parent, const QRect& place, const char* name, const char* hint,
                         const char* icon, int iconSize = 16) {
    auto* b = new QToolButton(parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(place);
    b->setToolTip(QString::fromLatin1(hint));
    b->setIcon(QIcon(QString::fromLatin1(icon)));
    b->setIconSize(QSize(iconSize, iconSize));
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

} // namespace

void TrendChart::buildToolStrip() {
    // Made in the strip's order, left to right.
    buildPageSizeControls();
    BtSave = stripButton(this, {93, 3, 35, 21}, "BtSave", "Save  Active Graphic",
                         ":/chart/icons/chart_save.svg");
    connect(BtSave, &QToolButton::clicked, this, &TrendChart::BtSaveClick);
    BtNew = stripButton(this, {127, 3, 35, 21}, "BtNew", "Delete Graphic",
                        ":/chart/icons/chart_new.svg");
    connect(BtNew, &QToolButton::clicked, this, &TrendChart::BtNewClick);
    buildPagingButtons();
    buildViewButtons();

    figures = new QLabel(this);
    figures->setObjectName(QStringLiteral("figures"));
    figures->setFont(arialPx(11));
    figures->setTextFormat(Qt::PlainText);
    figures->hide();
}

void TrendChart::buildPageSizeControls() {
    Bevel1 = new QFrame(this);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setGeometry(2, 2, 40, 20);
    Bevel1->setFrameStyle(QFrame::Box | QFrame::Sunken);

    BtFill = new QCheckBox(QStringLiteral("Fill"), this);
    BtFill->setObjectName(QStringLiteral("BtFill"));
    BtFill->setGeometry(1, 5, 36, 17);
    BtFill->setToolTip(QStringLiteral("Graphic Fill"));
    BtFill->setFont(arialPx(11));
    BtFill->setChecked(true);
    connect(BtFill, &QCheckBox::clicked, this, &TrendChart::BtFillClick);

    Maxrecord = new QLineEdit(QStringLiteral("100"), this);
    Maxrecord->setObjectName(QStringLiteral("Maxrecord"));
    Maxrecord->setGeometry(48, 3, 41, 21);
    QPalette silver = Maxrecord->palette();
    silver.setColor(QPalette::Base, kSilver);
    silver.setColor(QPalette::Text, Qt::black);
    Maxrecord->setPalette(silver);
    // Digits only, typed or pasted.
    Maxrecord->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), Maxrecord));
    connect(Maxrecord, &QLineEdit::textChanged, this, &TrendChart::MaxrecordChange);
}

void TrendChart::buildPagingButtons() {
    BtFirst =
        stripButton(this, {163, 3, 25, 21}, "BtFirst", "First", ":/chart/icons/page_first.svg");
    connect(BtFirst, &QToolButton::clicked, this, &TrendChart::BtFirstClick);
    BTPrevious = stripButton(this, {187, 3, 25, 21}, "BTPrevious", "Previous",
                             ":/chart/icons/page_previous.svg");
    connect(BTPrevious, &QToolButton::clicked, this, &TrendChart::BTPreviousClick);

    Bt10 = new QPushButton(QStringLiteral("1"), this);
    Bt10->setObjectName(QStringLiteral("Bt10"));
    Bt10->setGeometry(211, 3, 25, 21);
    Bt10->setToolTip(QStringLiteral("Page No."));
    Bt10->setFocusPolicy(Qt::NoFocus);
    QPalette blue = Bt10->palette();
    blue.setColor(QPalette::ButtonText, Qt::blue);
    Bt10->setPalette(blue);

    BtNext = stripButton(this, {235, 3, 25, 21}, "BtNext", "Next", ":/chart/icons/page_next.svg");
    connect(BtNext, &QToolButton::clicked, this, &TrendChart::BtNextClick);
    BTlast = stripButton(this, {263, 3, 25, 21}, "BTlast", "last", ":/chart/icons/page_last.svg");
    connect(BTlast, &QToolButton::clicked, this, &TrendChart::BTlastClick);
}

void TrendChart::buildViewButtons() {
    TbFd = stripButton(this, {288, 3, 25, 25}, "TbFd", "Graphic Enlarge",
                       ":/chart/icons/zoom_in.svg", 20);
    TbFd->setAutoRaise(true);
    connect(TbFd, &QToolButton::clicked, this, &TrendChart::TbSxClick);
    TbSx = stripButton(this, {288, 4, 25, 25}, "TbSx", "Graphic Restore",
                       ":/chart/icons/zoom_out.svg", 20);
    TbSx->setAutoRaise(true);
    TbSx->hide();
    connect(TbSx, &QToolButton::clicked, this, &TrendChart::TbSxClick);

    countView = stripButton(this, {314, 3, 22, 21}, "countView", "Display Counts",
                            ":/chart/icons/counts.svg");
    countView->setCheckable(true);
    connect(countView, &QToolButton::toggled, this,
            [this](bool on) { setView(on ? View::Counts : View::Physical); });
    timeAxis = stripButton(this, {337, 3, 22, 21}, "timeAxis", "Elapsed Time",
                           ":/chart/icons/elapsed.svg");
    timeAxis->setCheckable(true);
    timeAxis->setChecked(true);
    connect(timeAxis, &QToolButton::toggled, this,
            [this](bool on) { setXAxis(on ? XAxis::ElapsedTime : XAxis::Clock); });

    testList = new QComboBox(this);
    testList->setObjectName(QStringLiteral("testList"));
    testList->setToolTip(tr("The test shown in elapsed time"));
    testList->setFont(arialPx(11));
    testList->setFocusPolicy(Qt::NoFocus);
    testList->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    testList->setPlaceholderText(tr("No test"));
    connect(testList, &QComboBox::activated, this, [this](int i) { showTest(listFrom_ + i); });
}

void TrendChart::fillTestList() {
    // The tests with a plotted row, by their start time and function.
    int from = 0;
    if (tests_) {
        const auto& runs = tests_->runs().runs();
        from =
            int(std::lower_bound(runs.begin(), runs.end(), plotFrom_,
                                 [](const InsulationRun& r, int row) { return r.lastRow < row; }) -
                runs.begin());
    }
    const int count = tests_ ? tests_->count() - from : 0;
    const QSignalBlocker quiet(testList);
    if (from != listFrom_ || count < listedTests_) {
        testList->clear();
        listedTests_ = 0;
        listFrom_ = from;
    }
    for (; listedTests_ < count; ++listedTests_)
        testList->addItem(tests_->title(listFrom_ + listedTests_));
    testList->setEnabled(count > 0);
    if (testList->isVisible())
        layoutStrip();
}

void TrendChart::layoutStrip() {
    // The list and the figures beside the strip when the chart is wide enough, else on a line
    // of their own below it: the list on the left, the figures right-aligned.
    constexpr int kBeside = 364;
    const bool list = !testList->isHidden();
    const bool figuresShown = !figures->isHidden();
    if (list)
        testList->adjustSize();
    const int listWidth = list ? std::min(testList->sizeHint().width(), 220) : 0;
    const int figuresWidth = figuresShown ? figures->width() : 0;
    const int needed = listWidth + figuresWidth + (list && figuresShown ? 8 : 0);
    const bool secondLine = (list || figuresShown) && width() - kBeside - 6 < needed;
    const int top = secondLine ? 26 : 3;
    int left = secondLine ? 2 : kBeside;
    if (list) {
        testList->setGeometry(left, top, listWidth, 20);
        left += listWidth + 8;
    }
    if (figuresShown)
        figures->move(secondLine ? std::max(left, width() - figuresWidth - 10) : left,
                      secondLine ? top : top + 4);
    stripHeight_ = secondLine ? 30 + (list ? 2 : 0) : 16;
    layoutLanes();
}

void TrendChart::updateFigures() {
    // The test the strip tells of: the one shown whole, else the last one with a row on the page,
    // else the last one plotted.
    int run = -1;
    if (page_.x == ChartPage::X::Elapsed) {
        run = page_.test;
    } else if (tests_) {
        const auto [a, count] = rowsOnView();
        if (count > 0) {
            run = tests_->runs().lastRunIn(a, a + count - 1);
            if (run < 0 && tests_->count() > 0 &&
                tests_->run(tests_->count() - 1).lastRow >= plotFrom_)
                run = tests_->count() - 1;
        }
    }
    figuresRun_ = run;
    if (figuresRun_ < 0 || !tests_) {
        figuresRun_ = -1;
        figuresOf_ = InsulationRun{-1, -1, 0};
        if (!figures->isHidden()) {
            figures->hide();
            layoutStrip();
        }
        return;
    }
    const InsulationRun& r = tests_->run(figuresRun_);
    // Figures change only while the run is young; the meter's own result comes in the row
    // after the run's last.
    const bool rowAfter = table_->rowCount() > r.lastRow + 1;
    if (r.firstRow == figuresOf_.firstRow && rowAfter == figuresRowAfter_ &&
        (r.lastRow == figuresOf_.lastRow || !figuresMayChange(figuresOf_.durationMs, r.durationMs)))
        return;
    figuresOf_ = r;
    figuresRowAfter_ = rowAfter;
    const InsulationFigures f = insulationFigures(*table_, r);
    const std::optional<double> meterPi = meterPiResult(*table_, r);
    const QString start = clockText(table_->timeMs(r.firstRow));
    QString tip = figuresTip(r, f, start);
    QString text =
        QStringLiteral("Test %1   DAR %2   PI %3").arg(start, ratioText(f.dar), ratioText(f.pi));
    if (meterPi) {
        text += QStringLiteral("   Meter PI ") + ratioText(meterPi);
        tip +=
            QStringLiteral("\nPI shown by the meter at the end of the test: ") + ratioText(meterPi);
    }
    figures->setToolTip(tip);
    // Only a new text takes other room on the strip.
    if (text == figures->text() && !figures->isHidden())
        return;
    figures->setText(text);
    figures->adjustSize();
    figures->show();
    layoutStrip();
}

QString TrendChart::figuresTip(const InsulationRun& run, const InsulationFigures& f,
                               const QString& start) const {
    auto r = [](const ResistanceAt& at) {
        return at.ok() ? ohmsText(at.ohms)
                       : QStringLiteral("not available (%1)").arg(statusText(at.status));
    };
    auto ratio = [](const std::optional<double>& x) {
        return x ? ratioText(x) : QStringLiteral("not available");
    };
    QString tip = QStringLiteral("Insulation test from ");
    if (!table_->isNoNull(run.firstRow))
        tip += QStringLiteral("No %1 at ").arg(table_->no(run.firstRow));
    tip += QStringLiteral("%1, %2, %3 s\n")
               .arg(start, table_->vRange(run.firstRow))
               .arg(qRound64(double(run.durationMs) / 1000.0));
    tip += QStringLiteral("R(30 s): %1\nR(1 min): %2\nR(10 min): %3\n")
               .arg(r(f.r30s), r(f.r1min), r(f.r10min));
    tip += QStringLiteral("DAR = R(1 min) / R(30 s): %1\nPI = R(10 min) / R(1 min): %2")
               .arg(ratio(f.dar), ratio(f.pi));
    // Above 5 GΩ at one minute the currents are too small for the index to say much.
    if (f.pi && f.r1min.ohms > 5e9)
        tip += QStringLiteral("\nR(1 min) is above 5 G\u03A9: the PI may not be meaningful.");
    return tip;
}
