#pragma once

#include <QObject>

#include <atomic>
#include <functional>

class QAbstractEventDispatcher;

// How a reader thread wakes the main thread for its hand-offs: signal(), from any thread, makes
// the main thread call `run` soon after; signals that come before it runs may be answered by one
// call. The main thread's event loop is woken and `run` called as the loop comes awake, with no
// event allocated, queued and delivered for it. A native modal dialog's own loop (a file dialog
// of the desktop's toolkit) runs Qt's posted events but never comes awake in Qt's sense: a
// reader whose signal went unanswered says so, and signals go as posted events until Qt's own
// loop turns again.
class HandoffSignal : public QObject {
public:
    // Made on the main thread.
    explicit HandoffSignal(std::function<void()> run, QObject* parent = nullptr);

    void signal();
    // A signal has waited this long for its answer: the loop is not Qt's own.
    static constexpr int kUnansweredMs = 50;
    void unanswered();

protected:
    bool event(QEvent* e) override;

private:
    void post();

    QAbstractEventDispatcher* dispatcher_ = nullptr;
    std::atomic<bool> due_{false};     // a signal waits for the loop to come awake
    std::atomic<bool> byEvent_{false}; // signals go as posted events
    std::function<void()> run_;
};
