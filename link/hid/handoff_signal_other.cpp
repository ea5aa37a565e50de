// The hand-off signal where the system offers nothing better than the event loop's own queue.

#include "link/hid/handoff_signal.h"

std::unique_ptr<HandoffSignal> makeHandoffSignal(QObject* owner, std::function<void()> run) {
    return postedHandoffSignal(owner, std::move(run));
}
