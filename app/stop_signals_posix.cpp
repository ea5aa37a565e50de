// The system's requests to end, on POSIX systems: the signal handler writes a byte to a pipe,
// whose reading end the main thread's event loop watches.

#include "app/stop_signals.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

namespace {
int signalPipe[2] = {-1, -1};

void onStopSignal(int sig) {
    const char c = char(sig);
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &c, 1);
}
} // namespace

StopOnSignals::StopOnSignals(std::function<void()> stop, QObject* parent)
    : QObject(parent), stop_(std::move(stop)) {
    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
        char c[16];
        while (::read(signalPipe[0], c, sizeof c) > 0) {
        }
        if (stop_)
            stop_();
    });
    struct sigaction sa {};
    sa.sa_handler = &onStopSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);
    // A reader of stdout that goes away (a closed pipe) must not end the recording.
    ::signal(SIGPIPE, SIG_IGN);
}

StopOnSignals::~StopOnSignals() {
    ::signal(SIGINT, SIG_DFL);
    ::signal(SIGTERM, SIG_DFL);
    ::signal(SIGPIPE, SIG_DFL);
    for (int& fd : signalPipe) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}
