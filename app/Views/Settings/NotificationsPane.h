#pragma once

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class QHBoxLayout;

namespace kestrivane {

class AppStore;
class KVDeferredRefresh;
class KVLabel;
class KVSegmentedControl;
class LaunchAtLoginRow;
class LoginItemService;

// The notifications pane: the lead time, the next notification, the permission with a way to the
// desktop's notification settings, the sync status with Sync Now, launch at login and the test
// notification. Everything follows the store in place on the next turn after a change; the
// asynchronous store calls run in coroutines that hold the store, never the pane.
class NotificationsPane : public QWidget {
    Q_OBJECT

public:
    using StartProgram = std::function<bool(const QString &program, const QStringList &arguments)>;

    // The lead times offered, in minutes.
    static inline const QList<int> leadOptions{5, 10, 15, 30};

    NotificationsPane(AppStore &store, std::shared_ptr<LoginItemService> loginItems, StartProgram startProgram,
                      QWidget *parent = nullptr);

    // The segment of a stored lead time (seconds): its whole minutes among the options, else the
    // 30-minute segment (also for values that are not finite or too large for an integer).
    static int leadIndex(double seconds);
    static QString nextNotificationText(const AppStore &store);
    // Starts the desktop's notification settings: GNOME's, else KDE's; silent when none starts.
    static void openNotificationSettings(const StartProgram &startProgram);

    KVSegmentedControl *leadControl() const { return lead_; }
    LaunchAtLoginRow *launchAtLoginRow() const { return launchAtLogin_; }

private:
    void refresh();

    QPointer<AppStore> store_;
    StartProgram startProgram_;
    KVSegmentedControl *lead_;
    KVLabel *next_;
    QHBoxLayout *permission_;
    QWidget *pill_ = nullptr;
    std::optional<bool> shownPermission_;
    KVLabel *syncStatus_;
    LaunchAtLoginRow *launchAtLogin_;
    KVLabel *testStatus_;
    KVDeferredRefresh *refresh_;
};

} // namespace kestrivane
