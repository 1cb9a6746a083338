#pragma once

#include <QPointer>
#include <QWidget>

#include <functional>

namespace kestrivane {

class KVDeferredRefresh;
class ShortcutRecorderButton;
class ShortcutSettings;

// The shortcuts pane: the open-Today and join shortcuts, each recorded by its own button, and
// the reset to both defaults. The buttons show the settings' values in place on the next turn
// after a change.
class ShortcutsPane : public QWidget {
    Q_OBJECT

public:
    ShortcutsPane(ShortcutSettings &settings, std::function<void()> alertSound, QWidget *parent = nullptr);

    ShortcutRecorderButton *openTodayRecorder() const { return openToday_; }
    ShortcutRecorderButton *joinRecorder() const { return join_; }

private:
    void refresh();

    QPointer<ShortcutSettings> settings_;
    ShortcutRecorderButton *openToday_;
    ShortcutRecorderButton *join_;
    KVDeferredRefresh *refresh_;
};

} // namespace kestrivane
