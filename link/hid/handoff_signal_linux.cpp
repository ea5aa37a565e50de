// The hand-off signal on Linux: an eventfd that the main thread's event loop watches. The reader
// adds to its count, the loop sees it readable, and the main thread takes the count and runs the
// hand-offs: no allocation, no lock, no queue of posted events on the way.

#include "link/hid/handoff_signal.h"

#include <QSocketNotifier>

#include <sys/eventfd.h>
#include <unistd.h>

namespace {

class EventfdSignal final : public HandoffSignal {
public:
    EventfdSignal(int fd, QObject* owner, std::function<void()> run)
        : fd_(fd), notifier_(new QSocketNotifier(fd, QSocketNotifier::Read, owner)),
          run_(std::move(run)) {
        QObject::connect(notifier_, &QSocketNotifier::activated, notifier_, [this] {
            eventfd_t count;
            (void)::eventfd_read(fd_, &count);
            run_();
        });
    }
    ~EventfdSignal() override {
        delete notifier_;
        ::close(fd_);
    }

    void signal() override { (void)::eventfd_write(fd_, 1); }

private:
    int fd_;
    QSocketNotifier* notifier_;
    std::function<void()> run_;
};

} // namespace

std::unique_ptr<HandoffSignal> makeHandoffSignal(QObject* owner, std::function<void()> run) {
    const int fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (fd < 0)
        return postedHandoffSignal(owner, std::move(run)); // out of descriptors: still works
    return std::make_unique<EventfdSignal>(fd, owner, std::move(run));
}
