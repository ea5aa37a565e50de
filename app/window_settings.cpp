#include "app/window_settings.h"

#include "app/main_window.h"
#include "chart/trend_chart.h"

#include <QAction>
#include <QCheckBox>
#include <QEvent>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalBlocker>
#include <QToolButton>

#include <optional>

namespace {

// A flag as the settings file holds it: "true" or "false", nothing else.
std::optional<bool> flagOf(const QVariant& v) {
    if (v.typeId() == QMetaType::Bool)
        return v.toBool();
    const QString text = v.toString();
    if (text == u"true")
        return true;
    if (text == u"false")
        return false;
    return std::nullopt;
}

// Digits only, as the field's key filter lets them be typed, and at most `most` of them (so the
// number fits 32 bits); at least one unless `emptyToo`.
std::optional<QString> digitsOf(const QVariant& v, int most, bool emptyToo) {
    if (!v.isValid() || v.typeId() == QMetaType::QStringList)
        return std::nullopt;
    const QString text = v.toString();
    static const QRegularExpression digits(QStringLiteral("^[0-9]*$"));
    if ((text.isEmpty() && !emptyToo) || text.size() > most || !digits.match(text).hasMatch())
        return std::nullopt;
    return text;
}

QString textOf(const QVariant& v) {
    return v.typeId() == QMetaType::QString ? v.toString() : QString();
}

const char* viewName(TrendChart::View view) {
    return view == TrendChart::View::Counts ? "counts" : "physical";
}

const char* xAxisName(TrendChart::XAxis axis) {
    return axis == TrendChart::XAxis::Clock ? "clock" : "time";
}

} // namespace

WindowSettings::WindowSettings(TFrmTest& window, std::unique_ptr<QSettings> settings)
    : QObject(&window), w_(window), settings_(std::move(settings)) {
    // A file that cannot be read gives the defaults.
    if (settings_->status() == QSettings::NoError)
        restore();
    follow();
}

WindowSettings::~WindowSettings() {
    settings_->sync();
}

void WindowSettings::restore() {
    QSettings& s = *settings_;
    QAction* const limits[] = {w_.set1k, w_.set5k, w_.set10k, w_.set50k, w_.set100k, w_.setlimit};
    if (const auto limit = digitsOf(s.value(kLimit), 9, false)) {
        for (int i = 0; i < 6; ++i)
            if (limit->toInt() == Recorder::kLimits[i])
                limits[i]->trigger();
    }
    if (const auto on = flagOf(s.value(kRepeat)))
        w_.RepeatSet->setChecked(*on);
    if (const auto on = flagOf(s.value(kSampling)))
        w_.RecordSI->setChecked(*on);
    if (const auto seconds = digitsOf(s.value(kInterval), 9, true)) {
        // Not an edit: the countdown is loaded by the user's edits and recorded rows only.
        const QSignalBlocker quiet(w_.RecordSITime);
        w_.RecordSITime->setText(*seconds);
        w_.recordControls().recorder().setIntervalText(*seconds);
    }

    TrendChart* chart = w_.Chtshow;
    const QString view = textOf(s.value(kChartView));
    if (view == QLatin1String(viewName(TrendChart::View::Counts)))
        chart->setView(TrendChart::View::Counts);
    else if (view == QLatin1String(viewName(TrendChart::View::Physical)))
        chart->setView(TrendChart::View::Physical);
    const QString axis = textOf(s.value(kChartXAxis));
    // "rows": the switch off, as an earlier version kept it.
    if (axis == QLatin1String(xAxisName(TrendChart::XAxis::Clock)) || axis == u"rows")
        chart->setXAxis(TrendChart::XAxis::Clock);
    else if (axis == QLatin1String(xAxisName(TrendChart::XAxis::ElapsedTime)))
        chart->setXAxis(TrendChart::XAxis::ElapsedTime);
    if (const auto points = digitsOf(s.value(kPointsPerPage), 9, false))
        chart->setPointsPerPage(points->toInt());
    if (const auto on = flagOf(s.value(kFill)))
        chart->setFill(*on);

    RecordControls::DialogPlaces places;
    places.saveFolder = textOf(s.value(kSaveFolder));
    places.saveFilter = textOf(s.value(kSaveFilter));
    places.openFolder = textOf(s.value(kOpenFolder));
    places.openFilter = textOf(s.value(kOpenFilter));
    w_.recordControls().setDialogPlaces(places);

    const QVariant geometry = s.value(kGeometry);
    if (geometry.typeId() == QMetaType::QByteArray)
        w_.restoreGeometry(geometry.toByteArray());
}

void WindowSettings::follow() {
    QSettings* s = settings_.get();
    QAction* const limits[] = {w_.set1k, w_.set5k, w_.set10k, w_.set50k, w_.set100k, w_.setlimit};
    for (int i = 0; i < 6; ++i)
        connect(limits[i], &QAction::toggled, this, [s, i](bool on) {
            if (on)
                s->setValue(kLimit, Recorder::kLimits[i]);
        });
    connect(w_.RepeatSet, &QCheckBox::toggled, this, [s](bool on) { s->setValue(kRepeat, on); });
    connect(w_.RecordSI, &QCheckBox::toggled, this, [s](bool on) { s->setValue(kSampling, on); });
    connect(w_.RecordSITime, &QLineEdit::textChanged, this,
            [s](const QString& text) { s->setValue(kInterval, text); });

    TrendChart* chart = w_.Chtshow;
    connect(chart->countView, &QToolButton::toggled, this,
            [s, chart] { s->setValue(kChartView, QLatin1String(viewName(chart->view()))); });
    connect(chart->timeAxis, &QToolButton::toggled, this,
            [s, chart] { s->setValue(kChartXAxis, QLatin1String(xAxisName(chart->xAxis()))); });
    connect(chart->Maxrecord, &QLineEdit::textChanged, this, [s](const QString& text) {
        // Only a page size the chart took.
        if (digitsOf(text, 9, false))
            s->setValue(kPointsPerPage, text);
    });
    connect(chart->BtFill, &QCheckBox::toggled, this, [s](bool on) { s->setValue(kFill, on); });

    RecordControls& controls = w_.recordControls();
    connect(&controls, &RecordControls::dialogPlacesChanged, this, [s, &controls] {
        const RecordControls::DialogPlaces& p = controls.dialogPlaces();
        s->setValue(kSaveFolder, p.saveFolder);
        s->setValue(kSaveFilter, p.saveFilter);
        s->setValue(kOpenFolder, p.openFolder);
        s->setValue(kOpenFilter, p.openFilter);
    });
    w_.installEventFilter(this);
}

void WindowSettings::keepGeometry() {
    settings_->setValue(kGeometry, w_.saveGeometry());
}

bool WindowSettings::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &w_) {
        switch (event->type()) {
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::WindowStateChange:
        case QEvent::Close:
            if (w_.isVisible())
                keepGeometry();
            break;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}
