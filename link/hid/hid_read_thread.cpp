#include "link/hid/hid_read_thread.h"

#include "link/hid/handoff_signal.h"
#include "link/hid/hid_device_controller.h"

#include <QObject>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace {

// Wakes the main thread for hand-offs. A reader appends its state to a locked queue and, when
// the queue was empty, signals the main thread, which takes what is due from the queue under
// its lock: no memory passes between the threads through the event loop's internals.
class Waker : public QObject {
public:
    using Core = TJvHidDeviceReadThread::Core;

    // Made on the main thread, by the first reader; lives for the whole run.
    static Waker& instance() {
        static Waker* waker = new Waker;
        return *waker;
    }

    void post(std::weak_ptr<Core> core) {
        bool first;
        {
            std::lock_guard lock(m_);
            first = queue_.empty();
            queue_.push_back(std::move(core));
        }
        // Otherwise the main thread has yet to take the queue, and takes this one with it.
        if (first)
            signal_.signal();
    }
    // A hand-off has waited long for the main thread (see HandoffSignal).
    void unanswered() { signal_.unanswered(); }

private:
    Waker() : signal_([this] { run(); }) {
        // Room for every reader there will be, so that a hand-off allocates nothing.
        queue_.reserve(8);
        due_.reserve(8);
    }

    void run();

    std::mutex m_;
    std::vector<std::weak_ptr<Core>> queue_; // guarded by m_
    std::vector<std::weak_ptr<Core>> due_;   // main thread only
    bool running_ = false;                   // main thread only
    HandoffSignal signal_;
};

} // namespace

struct TJvHidDeviceReadThread::Core {
    enum class Handoff { None, Posted, Running, Done };

    std::mutex m;
    std::condition_variable cv;

    // Guarded by m.
    bool stop = false;
    bool closeHandle = false;
    quint32 closeError = 0;
    bool finished = false;
    std::chrono::steady_clock::time_point holdUntil; // no report is read before this
    Handoff state = Handoff::None;
    bool handingError = false;
    quint32 errorCode = 0;
    int bytes = 0;
    std::unique_ptr<HidHandle> handle; // replaced only under m, read by the reader without it
    TJvHidDevice* device = nullptr;    // main thread only

    std::atomic<int> sleepTime{TJvHidDevice::kDefaultSleepTime};
    quint32 openError = 0;
    std::vector<quint8> buffer; // the reader's, and the main thread's during a hand-off

    // Main thread: runs the hand-off that is waiting, if any. Answers whether there was one.
    bool deliverPending(std::unique_lock<std::mutex>& lock) {
        if (state != Handoff::Posted)
            return false;
        state = Handoff::Running;
        TJvHidDevice* d = device;
        const bool isError = handingError;
        const quint32 code = errorCode;
        const int n = bytes;
        lock.unlock();
        if (d) {
            if (isError)
                d->deliverError(code);
            else
                d->deliverData(buffer[0], buffer.data() + 1, quint16(n - 1));
        }
        lock.lock();
        state = Handoff::Done;
        // Told with the lock let go: the reader wakes to a free lock, not to wait for it again.
        lock.unlock();
        cv.notify_all();
        lock.lock();
        return true;
    }

    // Reader: hands a report or an error to the main thread. False when told to stop first.
    bool post(bool isError, quint32 code, int n) {
        {
            std::lock_guard lock(m);
            if (stop)
                return false;
            handingError = isError;
            errorCode = code;
            bytes = n;
            state = Handoff::Posted;
        }
        cv.notify_all(); // a Stop() waiting on the main thread runs it itself
        Waker::instance().post(self);
        return true;
    }

    // Reader: waits, holding `lock`, until the main thread has run the hand-off (a Stop() runs
    // it too). One that waits long waits for an event loop that does not come awake: said once.
    void waitForHandler(std::unique_lock<std::mutex>& lock) {
        const auto done = [this] { return state == Handoff::Done; };
        if (!cv.wait_for(lock, std::chrono::milliseconds(HandoffSignal::kUnansweredMs), done)) {
            lock.unlock();
            Waker::instance().unanswered();
            lock.lock();
            cv.wait(lock, done);
        }
        state = Handoff::None;
    }

    void awaitHandler() {
        std::unique_lock lock(m);
        waitForHandler(lock);
    }

    // Reader: waits until `until` or until told to stop.
    void pauseUntil(std::chrono::steady_clock::time_point until) {
        std::unique_lock lock(m);
        cv.wait_until(lock, until, [this] { return stop; });
    }

    // Reader: the start of a turn, under the lock once. After a report went to the main thread
    // it waits for the handler to have run (a Stop() runs it too) and takes the hold that the
    // handler asked for, if any. Closes the handle when told to; false when told to stop.
    bool beginTurn(bool handedOn, HidHandle*& h, std::chrono::steady_clock::time_point& hold) {
        std::unique_lock lock(m);
        if (handedOn) {
            waitForHandler(lock);
            hold = std::exchange(holdUntil, {});
        }
        if (stop)
            return false;
        if (closeHandle && handle) {
            handle.reset();
            openError = closeError;
        }
        h = handle.get();
        return true;
    }

    void run() {
        using Clock = std::chrono::steady_clock;
        const int length = int(buffer.size());
        bool handedOn = false; // the last report went to the main thread
        HidHandle* h = nullptr;
        for (;;) {
            // While the main thread handles the last report the reader waits for the next one
            // to come, and reads it only once the handler has run: one wake-up for both where
            // the layer can wait without reading, and no second wait for the report it saw.
            // The wait needs no time limit (no timer to arm each turn): a stop or a close ends
            // it at once.
            const bool ready = handedOn && h && h->waitReadable(-1);
            Clock::time_point hold{};
            if (!beginTurn(handedOn, h, hold))
                break;
            handedOn = false;
            if (hold != Clock::time_point{} && hold > Clock::now()) {
                pauseUntil(hold);
                continue;
            }
            std::fill(buffer.begin(), buffer.end(), quint8(0));
            quint32 error = 0;
            int n;
            if (h) {
                n = h->read(buffer.data(), length, ready ? 0 : sleepTime.load(), &error);
            } else {
                n = -1;
                error = openError != 0 ? openError : quint32(EBADF);
            }
            if (n < 0) {
                if (post(true, error, 0))
                    awaitHandler();
                // A read that fails at once would fail again at once: wait a turn first, so a
                // dead device costs one error a turn instead of a busy loop.
                pauseUntil(Clock::now() + std::chrono::milliseconds(sleepTime.load()));
                continue;
            }
            if (n == 0)
                continue;
            handedOn = post(false, 0, std::min(n, length));
        }
        std::lock_guard lock(m);
        handle.reset();
        finished = true;
        cv.notify_all();
    }

    std::weak_ptr<Core> self;
};

void Waker::run() {
    // What is due now; what comes meanwhile waits for the next turn of the event loop. A run
    // from inside a hand-off (a nested event loop) takes its own list.
    std::vector<std::weak_ptr<Core>> nested;
    std::vector<std::weak_ptr<Core>>& due = running_ ? nested : due_;
    {
        std::lock_guard lock(m_);
        due.swap(queue_);
    }
    const bool outer = !std::exchange(running_, true);
    for (const std::weak_ptr<Core>& weak : due) {
        if (const auto core = weak.lock()) {
            std::unique_lock l(core->m);
            core->deliverPending(l);
        }
    }
    due.clear();
    if (outer)
        running_ = false;
}

TJvHidDeviceReadThread::TJvHidDeviceReadThread(TJvHidDevice* device,
                                               std::unique_ptr<HidHandle> readHandle,
                                               quint32 openError, int sleepTime)
    : core_(std::make_shared<Core>()) {
    Waker::instance();
    core_->self = core_;
    core_->device = device;
    core_->openError = openError;
    core_->sleepTime = sleepTime;
    quint16 length = readHandle ? readHandle->inputReportLength() : 0;
    core_->buffer.assign(std::max<size_t>(length, 1), 0);
    core_->handle = std::move(readHandle);
}

TJvHidDeviceReadThread::~TJvHidDeviceReadThread() {
    Stop();
}

void TJvHidDeviceReadThread::Resume() {
    if (!thread_.joinable())
        thread_ = std::thread([core = core_] { core->run(); });
}

void TJvHidDeviceReadThread::Stop() {
    if (!thread_.joinable())
        return;
    Core& c = *core_;
    std::unique_lock lock(c.m);
    c.stop = true;
    if (c.handle)
        c.handle->interruptRead();
    c.cv.notify_all();
    if (c.state == Core::Handoff::Running) {
        // We are inside this thread's own hand-off, further up this stack: the thread cannot
        // end before it returns. Let it go; it keeps its state alive and ends by itself.
        c.device = nullptr;
        lock.unlock();
        thread_.detach();
        return;
    }
    while (!c.finished) {
        if (!c.deliverPending(lock))
            c.cv.wait(lock);
    }
    c.device = nullptr;
    lock.unlock();
    thread_.join();
}

void TJvHidDeviceReadThread::SetSleepTime(int ms) {
    core_->sleepTime = ms;
}

void TJvHidDeviceReadThread::Hold(int ms) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    std::lock_guard lock(core_->m);
    core_->holdUntil = std::max(core_->holdUntil, until);
}

void TJvHidDeviceReadThread::CloseHandle(quint32 error) {
    std::lock_guard lock(core_->m);
    core_->closeHandle = true;
    core_->closeError = error;
    if (core_->handle)
        core_->handle->interruptRead();
}

bool TJvHidDeviceReadThread::Pending() const {
    std::lock_guard lock(core_->m);
    return core_->state == Core::Handoff::Posted;
}
