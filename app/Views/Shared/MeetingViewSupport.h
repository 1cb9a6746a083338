#pragma once

#include "DesignSystem/KVDesign.h"
#include "Stores/AppStore.h"

#include <QDateTime>
#include <QFont>
#include <QString>
#include <QUrl>

#include <functional>
#include <optional>

class QWidget;

namespace kestrivane {

// What the meeting views do beyond calling the store: each has a default that does the real
// thing; tests replace them.
struct MeetingViewActions {
    // Opens a link in the browser (join buttons); the result is ignored.
    std::function<void(const QUrl &)> openURL;
    // Opens the feedback web form.
    std::function<void()> openFeedbackForm;
    // Opens the settings window and fronts it.
    std::function<void()> openSettings;
    // Posts "openTodayMeetsWindow".
    std::function<void()> openToday;
    // The delegate's orderly quit.
    std::function<void()> quit;
    // Connects Google again through the browser.
    std::function<void(AppStore &)> reconnectGoogle;

    // Fills every action left empty with its default (settings and quit have none: they do nothing).
    MeetingViewActions withDefaults() const;
};

// Opens the build's feedback address in the browser; an address that is no URL does nothing.
void openFeedbackFormInBrowser();

// Starts a sync that runs on in the store: the view that started it may go away meanwhile.
void startSync(AppStore &store);

// The tone of a sync status: synced success, failed danger, idle neutral, syncing accent.
KVStatusTone syncTone(const AppStore::SyncStatus &status);

// The sync-issue banner's content: the description, and whether it offers the reconnect
// (exactly when a reconnect is required and the OAuth client is configured).
struct SyncIssueModel {
    QString description;
    bool offersReconnect = false;
    friend bool operator==(const SyncIssueModel &, const SyncIssueModel &) = default;
};
SyncIssueModel syncIssueModel(const AppStore &store);

// The banner with retry, the reconnect (when offered) and send feedback.
QWidget *makeSyncIssueBanner(const SyncIssueModel &model, AppStore &store, const MeetingViewActions &actions);

// The width a column of short times needs in `font`: the widest short time of the locale over the
// hours of a day, or `minimum` when that is wider. A time is never cut.
int shortTimeColumnWidth(const QFont &font, int minimum);

} // namespace kestrivane
