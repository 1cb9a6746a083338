#include "Views/Shared/MeetingViewSupport.h"

#include "DesignSystem/KVStates.h"
#include "Support/AppL10n.h"
#include "Support/AppNotificationCenter.h"
#include "Support/Browser.h"
#include "Support/DateFormatting.h"
#include "Views/Settings/AccountIdentity.h"

#include <QFontMetrics>
#include <QPointer>

namespace kestrivane {

MeetingViewActions MeetingViewActions::withDefaults() const
{
    MeetingViewActions result = *this;
    if (!result.openURL)
        result.openURL = [](const QUrl &url) { openInBrowser(url).then([](bool) {}); };
    if (!result.openFeedbackForm)
        result.openFeedbackForm = [] { openFeedbackFormInBrowser(); };
    if (!result.openToday)
        result.openToday = [] { AppNotificationCenter::defaultCenter().post(AppNotificationCenter::openTodayMeetsWindow); };
    if (!result.openSettings)
        result.openSettings = [] {};
    if (!result.quit)
        result.quit = [] {};
    if (!result.reconnectGoogle)
        result.reconnectGoogle = [](AppStore &store) { AccountIdentity::connectThroughBrowser(store); };
    return result;
}

void openFeedbackFormInBrowser()
{
    const QUrl address(QStringLiteral(KESTRIVANE_FEEDBACK_URL), QUrl::StrictMode);
    if (address.isValid() && !address.scheme().isEmpty())
        openInBrowser(address).then([](bool) {});
}

void startSync(AppStore &store)
{
    auto syncing = [](QPointer<AppStore> target) -> QCoro::Task<void> {
        if (target)
            co_await target->sync();
    };
    syncing(QPointer<AppStore>(&store)).then([] {});
}

KVStatusTone syncTone(const AppStore::SyncStatus &status)
{
    switch (status.kind()) {
    case AppStore::SyncStatus::Kind::synced: return KVStatusTone::success;
    case AppStore::SyncStatus::Kind::failed: return KVStatusTone::danger;
    case AppStore::SyncStatus::Kind::syncing: return KVStatusTone::accent;
    case AppStore::SyncStatus::Kind::idle: break;
    }
    return KVStatusTone::neutral;
}

SyncIssueModel syncIssueModel(const AppStore &store)
{
    const bool reconnect = store.requiresGoogleReconnect();
    // A keyring failure is named as the status line names it, not as a connection problem.
    const std::optional<QString> keyring = store.keyringFailure();
    return SyncIssueModel{
        keyring ? *keyring
                : AppL10n::text(reconnect ? QStringLiteral("google_reconnect_description") : QStringLiteral("sync_issue_description")),
        reconnect && store.googleOAuthConfigured(),
    };
}

QWidget *makeSyncIssueBanner(const SyncIssueModel &model, AppStore &store, const MeetingViewActions &actions)
{
    // Each action reaches the store when it runs, never a widget of the view.
    QPointer<AppStore> target(&store);
    KVIssueBanner::Action retry{AppL10n::text(QStringLiteral("retry")), [target] {
                                    if (target)
                                        startSync(*target);
                                }};
    KVIssueBanner::Action reconnect;
    if (model.offersReconnect) {
        reconnect = {AppL10n::text(QStringLiteral("reconnect_google")), [target, run = actions.reconnectGoogle] {
                         if (target && run)
                             run(*target);
                     }};
    }
    KVIssueBanner::Action feedback{AppL10n::text(QStringLiteral("send_feedback")), actions.openFeedbackForm};
    auto *banner = new KVIssueBanner(AppL10n::text(QStringLiteral("sync_issue_title")), model.description, retry, reconnect, feedback);
    banner->setObjectName(QStringLiteral("sync-issue-banner"));
    return banner;
}

int shortTimeColumnWidth(const QFont &font, int minimum)
{
    const QFontMetrics metrics(font);
    const QTimeZone utc = QTimeZone::utc();
    const QDate day(2026, 1, 5);
    int widest = 0;
    for (int hour = 0; hour < 24; ++hour) {
        const QString text = DateFormatting::shortTime().string(QDateTime(day, QTime(hour, 58), utc), utc);
        widest = std::max(widest, metrics.horizontalAdvance(text));
    }
    // One pixel for the subpixel advance that horizontalAdvance rounds away.
    return std::max(minimum, widest + 1);
}

} // namespace kestrivane
