#pragma once

#include <QObject>

#include <functional>

// Calls `stop` on the main thread when the system asks the program to end (SIGINT or SIGTERM),
// for as long as it lives; a closed stdout (SIGPIPE) is ignored meanwhile. One implementation
// a system: stop_signals_posix.cpp.
class StopOnSignals : public QObject {
    Q_OBJECT
public:
    explicit StopOnSignals(std::function<void()> stop, QObject* parent = nullptr);
    ~StopOnSignals() override;

private:
    std::function<void()> stop_;
};
