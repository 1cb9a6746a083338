#include "Views/MenuBar/MenuMeetRow.h"

#include "DesignSystem/KVButton.h"
#include "DesignSystem/KVLabel.h"
#include "DesignSystem/KVStatus.h"
#include "Support/AppL10n.h"
#include "Support/DateFormatting.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace kestrivane {

MenuMeetRowModel MenuMeetRowModel::derive(const CalendarEvent &event, const QDateTime &now, const QTimeZone &zone)
{
    MenuMeetRowModel model;
    model.id = event.id;
    model.startTime = DateFormatting::shortTime().string(event.startDate, zone);
    model.title = event.title;
    model.calendarName = event.calendarName;
    model.joinURL = event.joinURL();
    model.isEnded = event.endDate <= now;
    model.isCurrent = event.startDate <= now && now < event.endDate;
    return model;
}

MenuMeetRow::MenuMeetRow(const MenuMeetRowModel &model, int timeColumnWidth, std::function<void(const QUrl &)> openURL,
                         QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("menu-row"));
    setProperty("eventID", model.id);
    setProperty("isEnded", model.isEnded);
    setProperty("isCurrent", model.isCurrent);
    // An ended row is faded by its colours, which costs less to draw than a graphics effect.
    const qreal fade = model.isEnded ? 0.55 : 1;
    setProperty("contentOpacity", fade);
    auto *root = new QHBoxLayout(this);
    root->setContentsMargins(12, 6, 12, 6);
    root->setSpacing(10);

    auto *time = new KVLabel(model.startTime, KVFont::system(11, KVFont::Weight::medium), KVColorRef(&KVPalette::text3, fade), this);
    time->setObjectName(QStringLiteral("row-time"));
    time->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    time->setElideMode(Qt::ElideNone);
    time->setFixedWidth(timeColumnWidth);
    root->addWidget(time);

    auto *details = new QVBoxLayout;
    details->setSpacing(2);
    auto *titleLine = new QHBoxLayout;
    titleLine->setSpacing(6);
    auto *title = new KVLabel(model.title, KVFont::system(13, KVFont::Weight::medium),
                              model.isCurrent ? KVColorRef(&KVPalette::success) : KVColorRef(&KVPalette::text1, fade), this);
    title->setObjectName(QStringLiteral("row-title"));
    title->setStrikeOut(model.isEnded);
    titleLine->addWidget(title);
    if (model.isCurrent) {
        auto *chip = new KVStatusPill(AppL10n::text(QStringLiteral("in_meeting")), QStringLiteral("circle.fill"),
                                      KVStatusTone::success, this);
        chip->setObjectName(QStringLiteral("row-chip"));
        // The chip keeps its whole text; the title gives way.
        chip->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        titleLine->addWidget(chip);
    }
    titleLine->addStretch(1);
    details->addLayout(titleLine);
    auto *calendar = new KVLabel(model.calendarName, KVFont::system(11), KVColorRef(&KVPalette::text3, fade), this);
    calendar->setObjectName(QStringLiteral("row-calendar"));
    details->addWidget(calendar);
    root->addLayout(details, 1);
    root->addSpacing(6);

    if (!model.isEnded) {
        const std::optional<QUrl> link = model.joinURL;
        auto *join = new KVButton(AppL10n::text(QStringLiteral("join")), KVButton::Style::bordered, [link, openURL] {
            if (link && openURL)
                openURL(*link);
        }, this);
        join->setObjectName(QStringLiteral("row-join"));
        join->setControlSize(KVButton::ControlSize::small);
        join->setTint(KVColorRef::accent());
        join->setEnabled(link.has_value());
        join->setHelp(AppL10n::text(QStringLiteral("join_account_chooser_help")));
        root->addWidget(join);
    }
}

} // namespace kestrivane
