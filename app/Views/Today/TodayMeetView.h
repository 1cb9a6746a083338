#pragma once

#include "DesignSystem/KVDesign.h"
#include "Views/Shared/MeetingViewSupport.h"
#include "Views/Today/TodayMeetRow.h"

#include <QPointer>
#include <QWidget>

#include <optional>

class QScrollArea;
class QVBoxLayout;

namespace kestrivane {

class AppStore;
class KVDeferredRefresh;

// The Today window's content: the title bar with sync and settings, the day's meetings under a
// date strap (or the loading, issue or empty state), and a footer with the sync status and the
// count. Derived from the store on its changes, on the next turn of the event loop; a section is
// rebuilt only when what it shows changed. The first time it is shown it syncs when the store is
// idle; it never cancels a sync (the store owns the pass).
class TodayMeetView : public QWidget {
    Q_OBJECT

public:
    enum class ContentKind { loading, issue, empty, list };

    struct ListModel {
        std::optional<SyncIssueModel> banner;
        QString date;
        QString count;
        QList<TodayMeetRowModel> rows;
        friend bool operator==(const ListModel &, const ListModel &) = default;
    };
    struct FooterModel {
        KVStatusTone tone = KVStatusTone::neutral;
        QString statusText;
        QString count;
        friend bool operator==(const FooterModel &, const FooterModel &) = default;
    };

    static inline constexpr QSize minimumWindowSize{560, 520};

    TodayMeetView(AppStore &store, MeetingViewActions actions = {}, QWidget *parent = nullptr);
    ~TodayMeetView() override;

    // Derives everything now (the coalesced refresh does this on the next turn).
    void refresh();
    ContentKind contentKind() const { return shownKind_.value_or(ContentKind::loading); }
    int buildCount() const { return buildCount_; }

    // The id of the earliest-starting meeting of `events` (in start order) that has not ended at `now`.
    static std::optional<QString> nextUpcomingEventID(const QList<CalendarEvent> &events, const QDateTime &now);

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void showContent(ContentKind kind, const std::optional<SyncIssueModel> &issue);
    void buildList(const ListModel &model);
    // The group of rows: whole when the meetings changed, else only the rows that changed.
    void buildRows(const QList<TodayMeetRowModel> &previous, const QList<TodayMeetRowModel> &rows, QWidget *page);
    void buildFooter(const FooterModel &model);

    QPointer<AppStore> store_;
    MeetingViewActions actions_;
    KVDeferredRefresh *deferred_;
    bool appeared_ = false;

    QVBoxLayout *content_;
    QVBoxLayout *footer_;
    // The list page while the list shows: its sections live in one scroll area.
    QPointer<QScrollArea> scroll_;
    QVBoxLayout *listBanner_ = nullptr;
    QVBoxLayout *listStrap_ = nullptr;
    QVBoxLayout *listRows_ = nullptr;

    std::optional<ContentKind> shownKind_;
    std::optional<SyncIssueModel> shownIssue_;
    std::optional<ListModel> shownList_;
    std::optional<FooterModel> shownFooter_;
    int buildCount_ = 0;
};

} // namespace kestrivane
