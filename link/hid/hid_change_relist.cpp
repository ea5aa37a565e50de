// The device-change watch without events from the system: the devices are listed again every
// second, and a set of identities that differs from the last one is a change.

#include "link/hid/system_hid_layer.h"

#include <QObject>
#include <QTimer>

namespace systemhid {

namespace {

class RelistWatch final : public ChangeWatch {
public:
    RelistWatch(std::function<QSet<QString>()> present, std::function<void()> changed)
        : present_(std::move(present)), changed_(std::move(changed)), known_(present_()) {
        timer_.setInterval(1000);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            QSet<QString> now = present_();
            if (now != known_) {
                known_ = std::move(now);
                changed_();
            }
        });
        timer_.start();
    }

private:
    std::function<QSet<QString>()> present_;
    std::function<void()> changed_;
    QSet<QString> known_;
    QTimer timer_;
};

} // namespace

std::unique_ptr<ChangeWatch> watchByRelisting(std::function<QSet<QString>()> present,
                                              std::function<void()> changed) {
    return std::make_unique<RelistWatch>(std::move(present), std::move(changed));
}

} // namespace systemhid
