#pragma once

#include <QObject>

#include <functional>
#include <memory>

// How a reader thread wakes the main thread for its hand-offs: signal(), from any thread, makes
// the main thread's event loop call `run` soon after; signals that come before it runs may be
// answered by one call. Made on the main thread.
class HandoffSignal {
public:
    virtual ~HandoffSignal() = default;
    virtual void signal() = 0;
};

// The best the system has (on Linux an eventfd that the event loop watches: a signal allocates
// nothing and passes through no queue of posted events). `owner` lives as long as the signal.
std::unique_ptr<HandoffSignal> makeHandoffSignal(QObject* owner, std::function<void()> run);

// A posted event that carries nothing, on any system.
std::unique_ptr<HandoffSignal> postedHandoffSignal(QObject* owner, std::function<void()> run);
