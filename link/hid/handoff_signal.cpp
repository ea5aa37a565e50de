#include "link/hid/handoff_signal.h"

#include <QCoreApplication>
#include <QEvent>

namespace {

class PostedSignal final : public QObject, public HandoffSignal {
public:
    PostedSignal(QObject* owner, std::function<void()> run)
        : QObject(owner), run_(std::move(run)) {}

    void signal() override { QCoreApplication::postEvent(this, new QEvent(kWake)); }

protected:
    bool event(QEvent* e) override {
        if (e->type() != kWake)
            return QObject::event(e);
        run_();
        return true;
    }

private:
    static inline const QEvent::Type kWake = QEvent::Type(QEvent::registerEventType());
    std::function<void()> run_;
};

} // namespace

std::unique_ptr<HandoffSignal> postedHandoffSignal(QObject* owner, std::function<void()> run) {
    return std::make_unique<PostedSignal>(owner, std::move(run));
}
