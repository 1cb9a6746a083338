#pragma once

#include "Support/ShortcutSettings.h"

#include <QList>
#include <QObject>
#include <QPointer>

#include <functional>

namespace kestrivane {

// The shortcut recorders that are recording right now. While one records, a press of a global
// hot key is handed to the latest of them instead of running the hot key's action, so the
// combination a hot key holds can be recorded again.
class ShortcutRecording : public QObject {
    Q_OBJECT

public:
    using Deliver = std::function<void(const KestrivaneShortcut &)>;

    static ShortcutRecording &shared();

    // `recorder` records until end() or its destruction; a second begin() replaces its delivery.
    void begin(QObject *recorder, Deliver deliver);
    void end(QObject *recorder);
    bool isRecording() const;

    // Hands `shortcut` to the latest recorder; false when none records.
    bool divert(const KestrivaneShortcut &shortcut);

private:
    struct Entry {
        QPointer<QObject> recorder;
        Deliver deliver;
    };
    void prune();
    QList<Entry> entries_;
};

} // namespace kestrivane
