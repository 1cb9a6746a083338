#pragma once

#include "Services/NotificationScheduler.h"

#include <QMap>
#include <QStringList>

#include <optional>
#include <vector>

namespace kestrivane::test {

// A notification scheduler that records what it is asked and keeps a pending table like the real
// one (replace by identifier, withdraw by identifier or by the "meet-" prefix). Never fires.
class RecordingNotificationScheduler final : public NotificationScheduling {
public:
    QCoro::Task<bool> requestAuthorization() override
    {
        calls.append(QStringLiteral("requestAuthorization"));
        ++authorizationRequests;
        if (authorizationError)
            throw NotificationError(*authorizationError);
        co_return authorized;
    }

    QCoro::Task<void> schedule(ScheduledNotification notification) override
    {
        calls.append(QStringLiteral("schedule ") + notification.identifier);
        if (scheduleError && static_cast<qsizetype>(scheduled.size()) >= scheduleSuccessesBeforeError)
            throw NotificationError(*scheduleError);
        pending.insert(notification.identifier, notification);
        scheduled.push_back(std::move(notification));
        co_return;
    }

    QCoro::Task<void> cancelPendingNotifications(QStringList identifiers) override
    {
        calls.append(QStringLiteral("cancel ") + identifiers.join(QLatin1Char(',')));
        for (const QString &identifier : std::as_const(identifiers))
            pending.remove(identifier);
        cancelledIdentifiers.push_back(std::move(identifiers));
        co_return;
    }

    QCoro::Task<void> cancelPendingMeetNotifications() override
    {
        calls.append(QStringLiteral("cancelMeet"));
        ++meetCancellations;
        pending.removeIf([](const auto &entry) { return entry.key().startsWith(QStringLiteral("meet-")); });
        co_return;
    }

    // What requestAuthorization() answers, unless authorizationError is set (then it throws it).
    bool authorized = true;
    std::optional<QString> authorizationError;
    // When set, schedule() throws this description once `scheduleSuccessesBeforeError` calls
    // have succeeded; the failing request is not recorded as scheduled nor pending.
    std::optional<QString> scheduleError;
    qsizetype scheduleSuccessesBeforeError = 0;

    // Every call in order: "requestAuthorization", "schedule <id>", "cancel <id,id>", "cancelMeet".
    QStringList calls;
    int authorizationRequests = 0;
    int meetCancellations = 0;
    std::vector<ScheduledNotification> scheduled;
    std::vector<QStringList> cancelledIdentifiers;
    QMap<QString, ScheduledNotification> pending;
};

} // namespace kestrivane::test
