#include "Views/Settings/NotificationsPane.h"

#include "DesignSystem/KVButton.h"
#include "DesignSystem/KVGrouping.h"
#include "DesignSystem/KVLabel.h"
#include "DesignSystem/KVStatus.h"
#include "DesignSystem/KVViewSupport.h"
#include "Stores/AppStore.h"
#include "Support/AppL10n.h"
#include "Support/DateFormatting.h"
#include "Views/Settings/LaunchAtLogin.h"
#include "Views/Settings/SettingsPaneKit.h"
#include "Views/Shared/MeetingViewSupport.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include <cmath>

namespace kestrivane {

namespace {

QWidget *trailingStack(QList<QWidget *> children, QHBoxLayout **layoutOut = nullptr)
{
    auto *stack = new QWidget;
    auto *layout = new QHBoxLayout(stack);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    for (QWidget *child : children)
        layout->addWidget(child, 0, Qt::AlignVCenter);
    if (layoutOut)
        *layoutOut = layout;
    return stack;
}

SettingsRow *plainRow(const QString &icon, const QString &titleKey, QWidget *trailing)
{
    return new SettingsRow(icon, KVColorRef(&KVPalette::fill1), KVColorRef(&KVPalette::text2), AppL10n::text(titleKey), trailing);
}

KVButton *smallBordered(const QString &key, std::function<void()> action)
{
    auto *button = new KVButton(AppL10n::text(key), KVButton::Style::bordered, std::move(action));
    button->setControlSize(KVButton::ControlSize::small);
    button->setLabelFont(KVFont::system(12, KVFont::Weight::medium));
    return button;
}

QCoro::Task<void> setLeadTime(QPointer<AppStore> store, double seconds)
{
    if (store)
        co_await store->setNotificationLeadTime(seconds);
}

QCoro::Task<void> sendTestNotification(QPointer<AppStore> store)
{
    if (store)
        co_await store->sendTestNotification();
}

} // namespace

NotificationsPane::NotificationsPane(AppStore &store, std::shared_ptr<LoginItemService> loginItems, StartProgram startProgram,
                                     QWidget *parent)
    : QWidget(parent), store_(&store), startProgram_(std::move(startProgram)), refresh_(new KVDeferredRefresh(this, [this] { refresh(); }))
{
    QVBoxLayout *pane = makePaneLayout(this);
    addPaneHeader(pane, new PaneHeader(AppL10n::text(QStringLiteral("settings_section_notifications"))));
    auto *box = new KVGroupBox;

    QStringList options;
    for (const int minutes : leadOptions)
        options << AppL10n::format(QStringLiteral("settings_lead_time_option"), minutes);
    lead_ = new KVSegmentedControl(options, leadIndex(store.notificationLeadTime()), [store = store_](int index) {
        if (index >= 0 && index < leadOptions.size())
            setLeadTime(store, leadOptions[index] * 60.0).then([] {});
    });
    box->addRow(plainRow(QStringLiteral("clock"), QStringLiteral("settings_lead_time_label"), lead_));
    box->addRow(new KVInsetDivider);

    next_ = new KVLabel(QString(), KVFont::system(12, KVFont::Weight::medium), KVColorRef(&KVPalette::text3));
    next_->setObjectName(QStringLiteral("nextNotification"));
    box->addRow(plainRow(QStringLiteral("calendar.badge.clock"), QStringLiteral("settings_next_notification"), next_));
    box->addRow(new KVInsetDivider);

    auto *open = new KVButton(AppL10n::text(QStringLiteral("settings_open_system")), KVButton::Style::plain,
                              [this] { openNotificationSettings(startProgram_); });
    open->setLabelFont(KVFont::system(12, KVFont::Weight::medium));
    box->addRow(new SettingsRow(QStringLiteral("bell.fill"), KVColorRef(&KVPalette::bellSoft), KVColorRef(&KVPalette::bellInk),
                                AppL10n::text(QStringLiteral("settings_notification_permission")),
                                trailingStack({open}, &permission_)));
    box->addRow(new KVInsetDivider);

    syncStatus_ = new KVLabel(QString(), KVFont::system(11), KVColorRef(&KVPalette::text3));
    syncStatus_->setObjectName(QStringLiteral("syncStatus"));
    auto *sync = smallBordered(QStringLiteral("sync_now"), [store = store_] {
        if (store)
            startSync(*store);
    });
    box->addRow(plainRow(QStringLiteral("arrow.clockwise"), QStringLiteral("sync_section"), trailingStack({syncStatus_, sync})));
    box->addRow(new KVInsetDivider);

    launchAtLogin_ = new LaunchAtLoginRow(std::move(loginItems));
    box->addRow(launchAtLogin_);
    box->addRow(new KVInsetDivider);

    testStatus_ = new KVLabel(QString(), KVFont::system(11), KVColorRef(&KVPalette::text3));
    testStatus_->setMaxLines(0);
    testStatus_->setObjectName(QStringLiteral("testNotificationStatus"));
    auto *send = smallBordered(QStringLiteral("test_notification_button"),
                               [store = store_] { sendTestNotification(store).then([] {}); });
    send->setObjectName(QStringLiteral("sendTestNotification"));
    box->addRow(plainRow(QStringLiteral("bell.badge"), QStringLiteral("send_test_notification"), trailingStack({testStatus_, send})));
    pane->addWidget(box);

    refresh_->follow(&store, &AppStore::changed);
    refresh();
}

int NotificationsPane::leadIndex(double seconds)
{
    const double minutes = seconds / 60.0;
    // Whole minutes; beyond ±2^63 no integer holds them.
    if (!std::isfinite(minutes) || std::fabs(minutes) >= 9223372036854775808.0)
        return 3;
    const qint64 whole = static_cast<qint64>(std::trunc(minutes));
    const qsizetype index = leadOptions.indexOf(whole);
    return index < 0 ? 3 : static_cast<int>(index);
}

QString NotificationsPane::nextNotificationText(const AppStore &store)
{
    if (!store.notificationPermissionGranted())
        return AppL10n::text(QStringLiteral("settings_next_notification_unavailable"));
    const std::optional<QDateTime> fire = store.nextNotificationFireDate();
    if (!fire)
        return AppL10n::text(QStringLiteral("settings_next_notification_none"));
    return DateFormatting::notificationFireDateText(*fire, store.presentationDate());
}

void NotificationsPane::openNotificationSettings(const StartProgram &startProgram)
{
    if (!startProgram)
        return;
    const QList<std::pair<QString, QStringList>> candidates{
        {QStringLiteral("gnome-control-center"), {QStringLiteral("notifications")}},
        {QStringLiteral("systemsettings"), {QStringLiteral("kcm_notifications")}},
    };
    for (const auto &[program, arguments] : candidates) {
        if (startProgram(program, arguments))
            return;
    }
}

void NotificationsPane::refresh()
{
    if (!store_)
        return;
    const AppStore &store = *store_;
    lead_->setSelection(leadIndex(store.notificationLeadTime()));

    next_->setText(nextNotificationText(store));
    next_->setColor(KVColorRef(store.nextNotificationFireDate() ? &KVPalette::text1 : &KVPalette::text3));

    const bool granted = store.notificationPermissionGranted();
    if (shownPermission_ != granted) {
        shownPermission_ = granted;
        if (pill_) {
            pill_->hide();
            pill_->deleteLater();
        }
        pill_ = granted ? new KVStatusPill(AppL10n::text(QStringLiteral("settings_notification_allowed")), QStringLiteral("checkmark"),
                                           KVStatusTone::success)
                        : new KVStatusPill(AppL10n::text(QStringLiteral("settings_notification_denied")),
                                           QStringLiteral("exclamationmark.triangle"), KVStatusTone::danger);
        pill_->setObjectName(QStringLiteral("permission"));
        permission_->insertWidget(0, pill_, 0, Qt::AlignVCenter);
    }

    syncStatus_->setText(store.syncStatus().label());
    const std::optional<QString> &test = store.testNotificationStatus();
    testStatus_->setText(test.value_or(QString()));
    testStatus_->setVisible(test.has_value());
}

} // namespace kestrivane
