#pragma once

#include "Support/AppBuildChannel.h"

#include <QString>
#include <QStringList>
#include <QWidget>

#include <memory>
#include <optional>

namespace kestrivane {

class CalendarSelectionSwitch;
class KVLabel;

// Whether the application starts when the user logs in, and the change of it.
class LoginItemService {
public:
    enum class Status { notRegistered, enabled };
    virtual ~LoginItemService() = default;

    virtual Status status() const = 0;
    // Each returns the failure's message, or none when the change was made.
    virtual std::optional<QString> registerItem() = 0;
    virtual std::optional<QString> unregisterItem() = 0;
};

// Launch at login as an XDG autostart entry: "<application id>.desktop" in
// $XDG_CONFIG_HOME/autostart, written atomically, starting this executable ($APPIMAGE when set).
// It counts as enabled when the user's entry (else one the system provides in
// $XDG_CONFIG_DIRS/autostart) exists, is neither hidden nor disabled, and starts this executable.
// Unregistering removes the user's entry and, when the system provides one, hides it with a
// hidden user entry.
class XdgAutostartService : public LoginItemService {
public:
    struct Location {
        QString configHome;        // the user's configuration folder
        QStringList configDirs;    // the system's, in order of preference
        QString executable;        // the program the entry starts
        QString applicationID;     // the entry's file name without ".desktop"
        QString displayName;
    };
    // The locations of the running application, from the environment.
    static Location currentLocation(AppBuildChannel channel = AppBuildChannel::current());

    explicit XdgAutostartService(Location location = currentLocation());

    Status status() const override;
    std::optional<QString> registerItem() override;
    std::optional<QString> unregisterItem() override;

    QString userEntryPath() const;
    const Location &location() const { return location_; }

    // `program` as the first word of an Exec value: quoted when it holds a reserved character,
    // "%" doubled, and escaped as a desktop-entry string.
    static QString execValue(const QString &program);
    // The program an Exec value starts (its first word, unquoted); none when the value is malformed.
    static std::optional<QString> execProgram(const QString &exec);

private:
    std::optional<QString> writeEntry(bool hidden) const;
    std::optional<QString> systemEntryPath() const;

    Location location_;
};

// The launch-at-login row of the notifications pane: a settings row with the switch, and the
// failure of the last change in danger under it. The switch shows what the service reports
// after every change, never what was asked.
class LaunchAtLoginRow : public QWidget {
    Q_OBJECT

public:
    explicit LaunchAtLoginRow(std::shared_ptr<LoginItemService> service, QWidget *parent = nullptr);

    void setLaunchAtLogin(bool enabled);
    void refresh();

    bool isEnabled() const { return isEnabled_; }
    std::optional<QString> errorMessage() const { return errorMessage_; }
    CalendarSelectionSwitch *toggle() const { return switch_; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    void showState();

    std::shared_ptr<LoginItemService> service_;
    bool isEnabled_ = false;
    std::optional<QString> errorMessage_;
    CalendarSelectionSwitch *switch_;
    QWidget *errorBox_;
    KVLabel *error_;
};

} // namespace kestrivane
