#include "replica/replica_state.h"

ReplicaState::ReplicaState(QObject* parent) : QObject(parent) {
    const int n = count();
    visible_.resize(size_t(n));
    captions_.resize(size_t(n));
    dirty_.resize(size_t(n), false);
    dirtyList_.reserve(size_t(n));
    reset();
    takeChanges(); // a new view paints everything anyway
}

void ReplicaState::reset() {
    const auto specs = replica::elements();
    for (int i = 0; i < count(); ++i) {
        const replica::ElementSpec& e = specs[size_t(i)];
        setVisible(i, e.initiallyShown);
        setCaption(i, e.caption ? QString::fromUtf8(e.caption) : QString());
    }
}

bool ReplicaState::shown(int id) const {
    for (int i = id; i >= 0; i = replica::parentOf(i))
        if (!visible_[size_t(i)])
            return false;
    return true;
}

void ReplicaState::setCaption(int id, QStringView text) {
    QString& c = captions_[size_t(id)];
    if (c != text) {
        c = text.toString();
        touch(id);
    }
}

bool ReplicaState::visible(QStringView name) const {
    const int id = idOf(name);
    return id >= 0 && visible(id);
}

bool ReplicaState::shown(QStringView name) const {
    const int id = idOf(name);
    return id >= 0 && shown(id);
}

QString ReplicaState::caption(QStringView name) const {
    const int id = idOf(name);
    return id >= 0 ? caption(id) : QString();
}

void ReplicaState::setVisible(QStringView name, bool on) {
    if (const int id = idOf(name); id >= 0)
        setVisible(id, on);
}

void ReplicaState::setCaption(QStringView name, QStringView text) {
    if (const int id = idOf(name); id >= 0)
        setCaption(id, text);
}

void ReplicaState::DispInit(bool show) {
    for (int id : replica::annunciatorSet())
        setVisible(id, show);
}

std::vector<int> ReplicaState::takeChanges() {
    std::vector<int> out;
    out.swap(dirtyList_);
    dirtyList_.reserve(size_t(count()));
    for (int id : out)
        dirty_[size_t(id)] = false;
    return out;
}
