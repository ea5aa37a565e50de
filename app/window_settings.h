#pragma once

#include <QObject>

#include <memory>

class QSettings;
class TFrmTest;

// The window's settings that stay from one run to the next, kept where the desktop keeps a
// program's settings: the record limit, Repeat, Sampling Interval and its seconds, the chart's
// view, its x axis, points per page and fill, the window's size and place, and where the file
// dialogs were left. Each is written as it changes. A settings file that is missing or cannot be
// read, and a value in it that makes no sense, give the built-in default.
class WindowSettings : public QObject {
    Q_OBJECT
public:
    // Key names in the settings file.
    static constexpr const char* kLimit = "record/limit";
    static constexpr const char* kRepeat = "record/repeat";
    static constexpr const char* kSampling = "record/sampling";
    static constexpr const char* kInterval = "record/interval";
    static constexpr const char* kChartView = "chart/view";
    static constexpr const char* kChartXAxis = "chart/xAxis";
    static constexpr const char* kPointsPerPage = "chart/pointsPerPage";
    static constexpr const char* kFill = "chart/fill";
    static constexpr const char* kGeometry = "window/geometry";
    static constexpr const char* kSaveFolder = "files/saveFolder";
    static constexpr const char* kSaveFilter = "files/saveFilter";
    static constexpr const char* kOpenFolder = "files/openFolder";
    static constexpr const char* kOpenFilter = "files/openFilter";

    // Gives `window` the settings kept in `settings` and keeps its settings there from now on.
    // The window must not be shown yet, so that it opens where it was left.
    WindowSettings(TFrmTest& window, std::unique_ptr<QSettings> settings);
    ~WindowSettings() override;

    QSettings& settings() { return *settings_; }
    // Writes the window's size and place; also done as they change.
    void keepGeometry();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void restore();
    void follow();

    TFrmTest& w_;
    std::unique_ptr<QSettings> settings_;
};
