#include "link/hid/handoff_signal.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEvent>

namespace {

const QEvent::Type kWake = QEvent::Type(QEvent::registerEventType());

} // namespace

HandoffSignal::HandoffSignal(std::function<void()> run, QObject* parent)
    : QObject(parent), run_(std::move(run)) {
    dispatcher_ = QAbstractEventDispatcher::instance(thread());
    if (!dispatcher_) {
        byEvent_ = true; // no event loop yet: only posted events reach one made later
        return;
    }
    connect(dispatcher_, &QAbstractEventDispatcher::awake, this, [this] {
        // Qt's own loop is turning, so waking it is enough again.
        byEvent_.store(false, std::memory_order_relaxed);
        if (due_.exchange(false, std::memory_order_acq_rel))
            run_();
    });
}

void HandoffSignal::signal() {
    if (byEvent_.load(std::memory_order_relaxed)) {
        post();
        return;
    }
    due_.store(true, std::memory_order_release);
    dispatcher_->wakeUp();
}

void HandoffSignal::unanswered() {
    byEvent_.store(true, std::memory_order_relaxed);
    post();
}

void HandoffSignal::post() {
    QCoreApplication::postEvent(this, new QEvent(kWake));
}

bool HandoffSignal::event(QEvent* e) {
    if (e->type() != kWake)
        return QObject::event(e);
    run_();
    return true;
}
