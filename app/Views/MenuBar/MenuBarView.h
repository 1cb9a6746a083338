#pragma once

#include "DesignSystem/KVDesign.h"
#include "Views/MenuBar/MenuBarHero.h"
#include "Views/MenuBar/MenuMeetRow.h"
#include "Views/Shared/MeetingViewSupport.h"

#include <QPointer>
#include <QWidget>

#include <optional>

class QVBoxLayout;

namespace kestrivane {

class AppStore;
class KVDeferredRefresh;
class UpdateStatusStore;

// The tray panel: a status header, the sync-issue banner, the hero section, the day's meetings,
// the update banner and a footer of four buttons, 340 wide. Everything is derived from the store
// and the update status on their changes, on the next turn of the event loop; a section is
// rebuilt only when what it shows changed.
class MenuBarView : public QWidget {
    Q_OBJECT

public:
    struct HeaderModel {
        KVStatusTone tone = KVStatusTone::neutral;
        QString statusText;
        // Failed: the retry button instead of the e-mail.
        bool failed = false;
        std::optional<QString> email;
        friend bool operator==(const HeaderModel &, const HeaderModel &) = default;
    };
    struct ListModel {
        qsizetype count = 0;
        // At most the first five meetings.
        QList<MenuMeetRowModel> rows;
        friend bool operator==(const ListModel &, const ListModel &) = default;
    };

    static inline constexpr int panelWidth = 340;
    static inline constexpr int listedMeetings = 5;

    MenuBarView(AppStore &store, UpdateStatusStore &updateStatus, MeetingViewActions actions = {}, QWidget *parent = nullptr);
    ~MenuBarView() override;

    // Derives everything now (the coalesced refresh does this on the next turn).
    void refresh();
    // How many times a section was built, by section (for tests of the rebuild rule).
    int buildCount() const { return buildCount_; }
    // The panel's width and the height its sections need at that width (wrapped texts uncut).
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void buildHeader(const HeaderModel &model);
    void buildIssueBanner(const std::optional<SyncIssueModel> &model);
    void buildHero(const HeroModel &model);
    void buildList(const std::optional<ListModel> &model);
    void buildUpdateBanner(const std::optional<QString> &title);
    QWidget *makeFooter();

    QPointer<AppStore> store_;
    QPointer<UpdateStatusStore> updateStatus_;
    MeetingViewActions actions_;
    KVDeferredRefresh *deferred_;

    QVBoxLayout *header_;
    QVBoxLayout *issueBanner_;
    QVBoxLayout *hero_;
    QVBoxLayout *list_;
    QVBoxLayout *updateBanner_;

    // What each section shows now.
    std::optional<HeaderModel> shownHeader_;
    std::optional<std::optional<SyncIssueModel>> shownIssueBanner_;
    std::optional<HeroModel> shownHero_;
    std::optional<std::optional<ListModel>> shownList_;
    std::optional<std::optional<QString>> shownUpdateBanner_;
    int buildCount_ = 0;
};

} // namespace kestrivane
