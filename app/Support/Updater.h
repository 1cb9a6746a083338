#pragma once

#include "Support/Appcast.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <QCoro/QCoroTask>

#include <chrono>
#include <optional>

class QNetworkAccessManager;
class QTimer;

namespace kestrivane {

// Fetches and reads the update feed. One fetch has a time limit and a size limit.
class UpdateChecker : public QObject {
    Q_OBJECT

public:
    struct Options {
        QUrl feedURL;
        QString currentVersion;
        std::chrono::milliseconds timeout = std::chrono::seconds(15);
        qint64 maxFeedBytes = 1024 * 1024;
    };

    // The feed address fixed at build time, unless KESTRIVANE_APPCAST_URL (a testing aid) names
    // another, and the running version.
    static Options defaultOptions();

    explicit UpdateChecker(Options options, QObject *parent = nullptr);
    // Aborts a fetch under way: its check ends with an error instead of waiting for ever.
    ~UpdateChecker() override;

    const Options &options() const { return options_; }

    // The newest item newer than the running version, or none. Throws UpdateError.
    QCoro::Task<std::optional<AppcastItem>> check();

private:
    QCoro::Task<QByteArray> fetchFeed();

    Options options_;
    QNetworkAccessManager *network_;
};

// Who hears of the outcome of every update check, silent, scheduled or interactive.
class UpdaterDelegate {
public:
    virtual ~UpdaterDelegate() = default;
    virtual void updaterDidFindValidUpdate(const AppcastItem &item) = 0;
    // No newer version, or the check failed (`error` says why).
    virtual void updaterDidNotFindUpdate(const std::optional<QString> &error) = 0;
};

class UpdateDialog;

// Runs update checks: a daily scheduled one once started, a silent one on request and an
// interactive one that shows its progress and result in a small dialog. Installing an update is
// the user's (or the package manager's) business: the dialog offers the download page only.
class UpdaterController : public QObject {
    Q_OBJECT

public:
    UpdaterController(UpdaterDelegate *delegate, UpdateChecker::Options options, QObject *parent = nullptr);
    ~UpdaterController() override;

    // Starts the daily scheduled checks.
    void startUpdater(std::chrono::milliseconds interval = std::chrono::hours(24));
    // An interactive check with its dialog (fronted when one is already open).
    void checkForUpdates();
    // A check without any window that reports to the delegate only.
    void checkForUpdateInformation();

    // The same checks, awaitable (tests).
    QCoro::Task<> runCheck(bool interactive);

    UpdateDialog *dialog() const;
    UpdateChecker &checker() { return *checker_; }

private:
    UpdaterDelegate *delegate_;
    UpdateChecker *checker_;
    QTimer *schedule_;
    QPointer<UpdateDialog> dialog_;
};

} // namespace kestrivane
