#pragma once

#include "replica/replica_elements.h"

#include <QObject>
#include <QString>

#include <vector>

// The display state of the meter replica: for each element of the table, whether it is shown
// and, for text elements, its caption. Changes are collected until the view takes them, so a
// frame that touches a hundred elements costs one repaint of what actually changed.
class ReplicaState : public QObject {
    Q_OBJECT
public:
    explicit ReplicaState(QObject* parent = nullptr);

    static int count() { return int(replica::elements().size()); }
    // The element's index by component name; -1 for a name that is not on the replica.
    static int idOf(QStringView name) { return replica::indexOf(name); }

    // The element's own visibility flag.
    bool visible(int id) const { return visible_[size_t(id)]; }
    // Whether it can be seen: its flag and its group's flag are both set.
    bool shown(int id) const;
    const QString& caption(int id) const { return captions_[size_t(id)]; }

    void setVisible(int id, bool on) {
        if (visible_[size_t(id)] != on) {
            visible_[size_t(id)] = on;
            touch(id);
        }
    }
    void setCaption(int id, QStringView text);
    void show(int id) { setVisible(id, true); }
    void hide(int id) { setVisible(id, false); }

    // By component name (for tests and the window's wiring); unknown names are ignored.
    bool visible(QStringView name) const;
    bool shown(QStringView name) const;
    QString caption(QStringView name) const;
    void setVisible(QStringView name, bool on);
    void setCaption(QStringView name, QStringView text);

    // Sets the whole annunciator set to `show`; digits, connection elements, the strip itself and
    // its scale are left alone.
    void DispInit(bool show);

    // Back to the state of a freshly built panel: everything shown but the live-link icon.
    void reset();

    // Elements changed since the last call, each once, in no particular order.
    bool hasChanges() const { return !dirtyList_.empty(); }
    std::vector<int> takeChanges();

Q_SIGNALS:
    // Emitted when the first change after takeChanges() is recorded.
    void changed();

private:
    void touch(int id) {
        if (!dirty_[size_t(id)]) {
            dirty_[size_t(id)] = true;
            dirtyList_.push_back(id);
            if (dirtyList_.size() == 1)
                Q_EMIT changed();
        }
    }

    std::vector<bool> visible_;
    std::vector<QString> captions_;
    std::vector<bool> dirty_;
    std::vector<int> dirtyList_;
};
