#include "results/ui/results_window.h"

#include "reports/report_preview.h"
#include "results/result_texts.h"
#include "results/ui/result_curve.h"
#include "results/ui/result_report.h"
#include "results/verdict.h"

#include <QDateEdit>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSplitter>
#include <QSqlQuery>
#include <QStackedWidget>
#include <QTableView>
#include <QVBoxLayout>

namespace {

// The date edits' lowest date stands for "any".
const QDate kAnyDate(2000, 1, 1);

QDateEdit* dateFilter() {
    auto* d = new QDateEdit;
    d->setCalendarPopup(true);
    d->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    d->setMinimumDate(kAnyDate);
    d->setSpecialValueText(QStringLiteral("any"));
    d->setDate(kAnyDate);
    return d;
}

QString detailsHtml(const TestResult& r, const Verdict& v, const std::optional<QString>& trend) {
    const char* colour = v.outcome == Verdict::Pass   ? "#007020"
                         : v.outcome == Verdict::Fail ? "#c00000"
                                                      : "#606060";
    QString html = QStringLiteral("<p><b style='font-size:14pt; color:%1'>%2</b><br>%3</p>")
                       .arg(QLatin1String(colour), outcomeText(v.outcome), v.rule.toHtmlEscaped());
    for (const QString& reason : v.reasons)
        html += QStringLiteral("<div style='color:%1'>• %2</div>")
                    .arg(QLatin1String(colour), reason.toHtmlEscaped());
    for (const QString& note : v.notes)
        html += QStringLiteral("<div>• %1</div>").arg(note.toHtmlEscaped());
    if (trend)
        html +=
            QStringLiteral("<p style='color:#c00000'><b>%1</b></p>").arg(trend->toHtmlEscaped());
    html += QStringLiteral("<table cellspacing=0 cellpadding=1>");
    for (const auto& [label, text] : figureLines(r) + fieldLines(r))
        html += QStringLiteral("<tr><td>%1&nbsp;&nbsp;</td><td><b>%2</b></td></tr>")
                    .arg(label.toHtmlEscaped(), text.toHtmlEscaped());
    return html + QStringLiteral("</table>");
}

} // namespace

// ---- ResultListModel

ResultListModel::ResultListModel(ResultStore& store, QObject* parent)
    : QSqlQueryModel(parent), store_(store) {}

void ResultListModel::setFilter(const ResultStore::Filter& filter) {
    filter_ = filter;
    reload();
}

void ResultListModel::sort(int column, Qt::SortOrder order) {
    sortColumn_ = column;
    order_ = order;
    reload();
}

void ResultListModel::reload() {
    QSqlQuery q(store_.database());
    error_.clear();
    if (!store_.listQuery(q, filter_, sortColumn_, order_, &error_)) {
        clear();
        return;
    }
    setQuery(std::move(q));
    const QStringList headers = ResultStore::listHeaders();
    for (int c = 0; c < headers.size(); ++c)
        setHeaderData(c, Qt::Horizontal, headers[c]);
}

qint64 ResultListModel::idAt(int row) const {
    return QSqlQueryModel::data(index(row, ResultStore::ColId)).toLongLong();
}

QVariant ResultListModel::data(const QModelIndex& index, int role) const {
    const QVariant raw = QSqlQueryModel::data(index, Qt::DisplayRole);
    const int column = index.column();
    if (role == Qt::TextAlignmentRole && column >= ResultStore::ColTestVolts &&
        column <= ResultStore::ColPi)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    if (column == ResultStore::ColVerdict) {
        const std::optional<Verdict::Outcome> o = outcomeOf(raw.toString());
        if (role == Qt::ForegroundRole)
            return o == Verdict::Pass   ? QColor(0x00, 0x60, 0x1C)
                   : o == Verdict::Fail ? QColor(0xB0, 0x00, 0x00)
                                        : QColor(0x50, 0x50, 0x50);
        if (role == Qt::BackgroundRole)
            return o == Verdict::Pass   ? QColor(0xDD, 0xF4, 0xE2)
                   : o == Verdict::Fail ? QColor(0xFC, 0xDE, 0xDE)
                                        : QColor(0xEC, 0xEC, 0xEC);
    }
    if (column == ResultStore::ColTrend && !raw.isNull()) {
        if (role == Qt::ForegroundRole)
            return QColor(0xB0, 0x00, 0x00);
        if (role == Qt::ToolTipRole)
            return QStringLiteral("R(1 min) fell by more than half against the asset's result "
                                  "before: choose the result for its TREND: line");
    }
    if (role == Qt::FontRole &&
        (column == ResultStore::ColVerdict || (column == ResultStore::ColTrend && !raw.isNull()))) {
        static const QFont bold = [] {
            QFont f;
            f.setBold(true);
            return f;
        }();
        return bold;
    }
    if (role != Qt::DisplayRole)
        return QSqlQueryModel::data(index, role);
    auto number = [&]() -> std::optional<double> {
        return raw.isNull() ? std::nullopt : std::optional<double>(raw.toDouble());
    };
    switch (index.column()) {
    case ResultStore::ColAsset:
        return printable(raw.toString());
    case ResultStore::ColTestVolts:
        return voltsText(number());
    case ResultStore::ColR1min:
        return raw.isNull() ? QStringLiteral("-") : ohmsText(raw.toDouble());
    case ResultStore::ColR40:
        return r40Text(
            number(), !QSqlQueryModel::data(index.siblingAtColumn(ResultStore::ColR1min)).isNull());
    case ResultStore::ColDar:
    case ResultStore::ColPi:
        return ratioText(number());
    case ResultStore::ColTrend:
        return raw.isNull() ? QString() : trendFlagText(raw.toInt());
    default:
        return raw;
    }
}

// ---- ResultPicture

ResultPicture::ResultPicture(Kind kind, QWidget* parent) : QWidget(parent), kind_(kind) {
    setMinimumSize(300, 160);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ResultPicture::setResult(const std::optional<TestResult>& result) {
    result_ = result;
    update();
}

void ResultPicture::setHistory(std::vector<TestResult> history) {
    history_ = std::move(history);
    update();
}

void ResultPicture::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    QFont f = font();
    f.setPointSizeF(8);
    const QRectF area = QRectF(rect()).adjusted(4, 4, -4, -4);
    if (kind_ == Curve && result_)
        paintResultCurve(p, area, *result_, f);
    else if (kind_ == Trend && !history_.empty())
        paintAssetTrend(p, area, history_, f);
    else
        p.drawText(rect(), Qt::AlignCenter,
                   kind_ == Curve ? QStringLiteral("No result chosen")
                                  : QStringLiteral("No trend"));
}

// ---- ResultsWindow

ResultsWindow::ResultsWindow(ResultStore& store, QWidget* parent)
    : QWidget(parent, Qt::Window), store_(store) {
    setObjectName(QStringLiteral("ResultsWindow"));
    setWindowTitle(QStringLiteral("Test Results"));
    auto* layout = new QVBoxLayout(this);

    auto* filters = new QHBoxLayout;
    assetFilter = new QLineEdit;
    assetFilter->setPlaceholderText(QStringLiteral("asset ID holds..."));
    assetFilter->setClearButtonEnabled(true);
    fromDate = dateFilter();
    toDate = dateFilter();
    filters->addWidget(new QLabel(QStringLiteral("Asset")));
    filters->addWidget(assetFilter, 1);
    filters->addWidget(new QLabel(QStringLiteral("From")));
    filters->addWidget(fromDate);
    filters->addWidget(new QLabel(QStringLiteral("To")));
    filters->addWidget(toDate);
    layout->addLayout(filters);

    auto* split = new QSplitter(Qt::Horizontal);
    model = new ResultListModel(store_, this);
    list = new QTableView;
    list->setModel(model);
    list->setSortingEnabled(true);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->verticalHeader()->hide();
    list->verticalHeader()->setDefaultSectionSize(list->fontMetrics().height() + 6);
    QHeaderView* header = list->horizontalHeader();
    header->setSortIndicator(ResultStore::ColDate, Qt::DescendingOrder);
    header->setStretchLastSection(false);
    // What is judged stays in view beside the asset however far the figures scroll: the
    // verdict and the trend flag come after the asset (the model's order is the command line's).
    header->moveSection(ResultStore::ColVerdict, ResultStore::ColAsset + 1);
    header->moveSection(ResultStore::ColTrend, ResultStore::ColAsset + 2);
    emptyHint = new QLabel;
    emptyHint->setObjectName(QStringLiteral("emptyHint"));
    emptyHint->setAlignment(Qt::AlignCenter);
    emptyHint->setWordWrap(true);
    emptyHint->setTextFormat(Qt::RichText);
    emptyHint->setMargin(24);
    listPages = new QStackedWidget;
    listPages->addWidget(list);
    listPages->addWidget(emptyHint);
    split->addWidget(listPages);

    auto* side = new QWidget;
    auto* sideLayout = new QVBoxLayout(side);
    sideLayout->setContentsMargins(0, 0, 0, 0);
    curve = new ResultPicture(ResultPicture::Curve);
    trend = new ResultPicture(ResultPicture::Trend);
    details = new QLabel;
    details->setObjectName(QStringLiteral("details"));
    details->setTextFormat(Qt::RichText);
    details->setWordWrap(true);
    details->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    details->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* detailsArea = new QScrollArea;
    detailsArea->setWidgetResizable(true);
    detailsArea->setFrameShape(QFrame::NoFrame);
    detailsArea->setWidget(details);
    sideLayout->addWidget(curve, 2);
    sideLayout->addWidget(detailsArea, 3);
    sideLayout->addWidget(new QLabel(QStringLiteral("The asset's trend")));
    sideLayout->addWidget(trend, 2);
    split->addWidget(side);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);
    split_ = split;
    layout->addWidget(split, 1);

    auto* buttons = new QHBoxLayout;
    status = new QLabel;
    buttons->addWidget(status, 1);
    reportButton = new QPushButton(QStringLiteral("Report..."));
    reportButton->setToolTip(QStringLiteral("One page to sign per chosen result: preview, print "
                                            "or save as PDF"));
    deleteButton = new QPushButton(QStringLiteral("Delete"));
    buttons->addWidget(reportButton);
    buttons->addWidget(deleteButton);
    layout->addLayout(buttons);

    connect(assetFilter, &QLineEdit::textChanged, this, &ResultsWindow::applyFilter);
    connect(fromDate, &QDateEdit::dateChanged, this, &ResultsWindow::applyFilter);
    connect(toDate, &QDateEdit::dateChanged, this, &ResultsWindow::applyFilter);
    connect(list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &ResultsWindow::chosenChanged);
    connect(deleteButton, &QPushButton::clicked, this, &ResultsWindow::deleteChosen);
    connect(reportButton, &QPushButton::clicked, this, &ResultsWindow::reportChosen);
    updateDateRange();
    applyFilter();
    fitToList();
}

void ResultsWindow::updateDateRange() {
    QString error;
    const auto [first, last] = store_.dateRange(&error);
    const QSignalBlocker fromQuiet(fromDate), toQuiet(toDate);
    // The lowest date stands for "any"; it lies before every result.
    const QDate any = first.isValid() ? std::min(kAnyDate, first.addDays(-1)) : kAnyDate;
    const bool fromWasWhole = fromDate->date() <= std::max(fromDate->minimumDate(), first_);
    const bool toWasWhole = toDate->date() == toDate->minimumDate() || toDate->date() >= last_;
    fromDate->setMinimumDate(any);
    toDate->setMinimumDate(any);
    // Filters left at the whole range follow it as results come and go.
    if (fromWasWhole)
        fromDate->setDate(first.isValid() ? first : any);
    if (toWasWhole)
        toDate->setDate(last.isValid() ? last : any);
    first_ = first;
    last_ = last;
}

ResultStore::Filter ResultsWindow::filter() const {
    ResultStore::Filter f;
    f.assetContains = assetFilter->text().trimmed();
    // Dates at the ends of the range filter nothing, and are not asked of the database (which
    // could then go by the date and sort every row).
    const QDate from = fromDate->date(), to = toDate->date();
    if (from > fromDate->minimumDate() && (!first_.isValid() || from > first_))
        f.from = from;
    if (to > toDate->minimumDate() && (!last_.isValid() || to < last_))
        f.to = to;
    return f;
}

void ResultsWindow::applyFilter() {
    const ResultStore::Filter f = filter();
    model->setFilter(f);
    // Sized by the rows fetched so far, not by the whole list.
    list->resizeColumnsToContents();
    showHintIfEmpty();
    chosenChanged();
}

void ResultsWindow::showHintIfEmpty() {
    const bool empty = model->rowCount() == 0 && model->lastError().isEmpty();
    if (empty)
        emptyHint->setText(
            first_.isValid()
                ? QStringLiteral("No test result matches the filter.<br>Clear the asset field or "
                                 "widen the dates.")
                : QStringLiteral(
                      "<b>No test results yet.</b><br><br>To add one: record an insulation test "
                      "(or open a table file that holds one), then <b>Results ▸ Save Test "
                      "Result</b> in the main window.<br><br>From the command line: "
                      "<code>z4072 results add TABLE --asset ID</code>"));
    listPages->setCurrentWidget(empty ? static_cast<QWidget*>(emptyHint) : list);
}

void ResultsWindow::fitToList() {
    // The list as wide as its columns, the details beside it, within the screen.
    const QHeaderView* header = list->horizontalHeader();
    const int columns = header->length() + list->verticalScrollBar()->sizeHint().width() +
                        2 * list->frameWidth() + 4;
    const int side = 460;
    int width = columns + side + split_->handleWidth() + 24;
    if (const QScreen* screen = this->screen())
        width = std::min(width, screen->availableGeometry().width() - 40);
    resize(std::max(width, 900), 720);
    split_->setSizes({columns, std::max(side, width - columns)});
}

void ResultsWindow::reload() {
    const qint64 keep = shownId();
    updateDateRange();
    model->reload();
    showHintIfEmpty();
    showResult(keep);
}

void ResultsWindow::noteSaved(qint64 id) {
    reload();
    status->setText(QStringLiteral("Test result %1 saved.").arg(id));
}

QList<qint64> ResultsWindow::chosenIds() const {
    QList<qint64> ids;
    for (const QModelIndex& i : list->selectionModel()->selectedRows())
        ids << model->idAt(i.row());
    std::sort(ids.begin(), ids.end());
    return ids;
}

void ResultsWindow::chosenChanged() {
    const QList<qint64> ids = chosenIds();
    deleteButton->setEnabled(!ids.isEmpty());
    reportButton->setEnabled(!ids.isEmpty());
    showResult(ids.isEmpty() ? 0 : ids.front());
    status->setText(model->lastError().isEmpty()
                        ? QStringLiteral("%1 chosen").arg(ids.size())
                        : QStringLiteral("The results cannot be read: ") + model->lastError());
    if (!model->lastError().isEmpty())
        listPages->setCurrentWidget(list);
}

void ResultsWindow::showResult(qint64 id) {
    QString error;
    shown_ = id > 0 ? store_.load(id, true, &error) : std::nullopt;
    curve->setResult(shown_);
    if (!shown_) {
        details->setText(error.toHtmlEscaped());
        trend->setHistory({});
        return;
    }
    const std::optional<TestResult> previous = store_.previousOf(*shown_, &error);
    details->setText(detailsHtml(*shown_, judge(*shown_),
                                 previous ? trendLine(*shown_, *previous) : std::nullopt));
    ResultStore::Filter f;
    f.asset = shown_->assetId;
    trend->setHistory(store_.list(f, &error));
}

void ResultsWindow::deleteChosen() {
    const QList<qint64> ids = chosenIds();
    if (ids.isEmpty())
        return;
    const QString question =
        ids.size() == 1
            ? QStringLiteral("Delete test result %1 of asset \"%2\"? It cannot be undone.")
                  .arg(ids.front())
                  .arg(shown_ ? printable(shown_->assetId) : QString())
            : QStringLiteral("Delete %1 test results? It cannot be undone.").arg(ids.size());
    const bool yes = confirm_ ? confirm_(question)
                              : QMessageBox::question(this, windowTitle(), question,
                                                      QMessageBox::Yes | QMessageBox::No,
                                                      QMessageBox::No) == QMessageBox::Yes;
    if (!yes)
        return;
    for (qint64 id : ids) {
        QString error;
        if (!store_.remove(id, &error)) {
            QMessageBox::critical(
                this, windowTitle(),
                QStringLiteral("Test result %1 was not deleted: %2").arg(id).arg(error));
            break;
        }
    }
    updateDateRange();
    model->reload();
    showHintIfEmpty();
    chosenChanged();
}

void ResultsWindow::reportChosen() {
    std::vector<ResultPage> pages;
    for (qint64 id : chosenIds()) {
        QString error;
        std::optional<TestResult> r = store_.load(id, true, &error);
        if (!r)
            continue;
        const std::optional<TestResult> previous = store_.previousOf(*r, &error);
        std::optional<QString> trendText = previous ? trendLine(*r, *previous) : std::nullopt;
        const Verdict v = judge(*r);
        pages.push_back({std::move(*r), v, std::move(trendText)});
    }
    if (pages.empty())
        return;
    const ResultReport report(std::move(pages));
    ReportPreview preview(report, this);
    if (preview_)
        preview_(preview);
    else
        preview.exec();
}
