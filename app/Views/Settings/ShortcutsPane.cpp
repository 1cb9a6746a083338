#include "Views/Settings/ShortcutsPane.h"

#include "DesignSystem/KVButton.h"
#include "DesignSystem/KVGrouping.h"
#include "DesignSystem/KVViewSupport.h"
#include "Support/AppL10n.h"
#include "Support/ShortcutSettings.h"
#include "Views/Settings/SettingsPaneKit.h"
#include "Views/Settings/ShortcutRecorderButton.h"

#include <QVBoxLayout>

namespace kestrivane {

ShortcutsPane::ShortcutsPane(ShortcutSettings &settings, std::function<void()> alertSound, QWidget *parent)
    : QWidget(parent), settings_(&settings), refresh_(new KVDeferredRefresh(this, [this] { refresh(); }))
{
    QVBoxLayout *pane = makePaneLayout(this);
    auto *reset = new KVButton(AppL10n::text(QStringLiteral("settings_shortcuts_reset")), KVButton::Style::bordered, [this] {
        if (settings_)
            settings_->resetToDefaults();
    });
    reset->setControlSize(KVButton::ControlSize::small);
    reset->setLabelFont(KVFont::system(12, KVFont::Weight::medium));
    reset->setObjectName(QStringLiteral("resetShortcuts"));
    addPaneHeader(pane, new PaneHeader(AppL10n::text(QStringLiteral("settings_section_shortcuts")), reset),
                  AppL10n::text(QStringLiteral("settings_shortcuts_help")));

    openToday_ = new ShortcutRecorderButton(settings.openTodayMeets(), [this](const KestrivaneShortcut &shortcut) {
        if (settings_)
            settings_->setOpenTodayMeets(shortcut);
    }, alertSound);
    openToday_->setObjectName(QStringLiteral("openTodayRecorder"));
    join_ = new ShortcutRecorderButton(settings.joinMeet(), [this](const KestrivaneShortcut &shortcut) {
        if (settings_)
            settings_->setJoinMeet(shortcut);
    }, alertSound);
    join_->setObjectName(QStringLiteral("joinRecorder"));

    auto *box = new KVGroupBox;
    box->addRow(new SettingsRow(QStringLiteral("calendar"), KVColorRef(&KVPalette::fill1), KVColorRef(&KVPalette::text2),
                                AppL10n::text(QStringLiteral("open_today_meets_shortcut")), openToday_));
    box->addRow(new KVInsetDivider);
    box->addRow(new SettingsRow(QStringLiteral("video.fill"), KVColorRef(&KVPalette::fill1), KVColorRef(&KVPalette::text2),
                                AppL10n::text(QStringLiteral("join_meet_shortcut")), join_));
    pane->addWidget(box);

    refresh_->follow(&settings, &ShortcutSettings::changed);
}

void ShortcutsPane::refresh()
{
    if (!settings_)
        return;
    openToday_->setShortcut(settings_->openTodayMeets());
    join_->setShortcut(settings_->joinMeet());
}

} // namespace kestrivane
