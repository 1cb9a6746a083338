#include "Views/Today/TodayMeetRow.h"

#include "DesignSystem/KVButton.h"
#include "DesignSystem/KVLabel.h"
#include "DesignSystem/KVStatus.h"
#include "DesignSystem/KVSymbols.h"
#include "Support/AppL10n.h"
#include "Support/DateFormatting.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

namespace kestrivane {

TodayMeetRowModel TodayMeetRowModel::derive(const CalendarEvent &event, bool isReady, bool isCurrent, bool isNext,
                                            const QDateTime &now, const QTimeZone &zone)
{
    TodayMeetRowModel model;
    model.id = event.id;
    model.startTime = DateFormatting::shortTime().string(event.startDate, zone);
    model.endTime = DateFormatting::shortTime().string(event.endDate, zone);
    model.title = event.title;
    model.calendarName = event.calendarName;
    if (isReady && !isCurrent)
        model.readinessText = AppL10n::readinessText(event, now);
    model.joinURL = event.joinURL();
    model.isReady = isReady;
    model.isCurrent = isCurrent;
    model.isNext = isNext;
    model.isEnded = event.endDate <= now;
    return model;
}

TodayMeetRow::TodayMeetRow(const TodayMeetRowModel &model, int timeColumnWidth, std::function<void(const QUrl &)> openURL,
                           QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("today-row"));
    setProperty("eventID", model.id);
    setProperty("isEnded", model.isEnded);
    if (model.isCurrent)
        background_ = KVColorRef(&KVPalette::successSoft);
    else if (model.isReady)
        background_ = KVColorRef(&KVPalette::bellSoft);
    else if (model.isNext)
        background_ = KVColorRef(&KVPalette::brandSoft);
    setProperty("background", model.isCurrent ? "successSoft" : model.isReady ? "bellSoft" : model.isNext ? "brandSoft" : "");

    // An ended row's content is faded by its colours (a graphics effect would send the group box
    // to its slower drawing); the background stays at full strength.
    const qreal fade = model.isEnded ? 0.5 : 1;
    setProperty("contentOpacity", fade);
    QWidget *content = this;
    auto *root = new QHBoxLayout(content);
    root->setContentsMargins(14, 12, 14, 12);
    root->setSpacing(14);

    auto *times = new QVBoxLayout;
    times->setSpacing(1);
    auto *start = new KVLabel(model.startTime, KVFont::system(13, KVFont::Weight::medium), KVColorRef(&KVPalette::text1, fade), content);
    start->setObjectName(QStringLiteral("row-start"));
    start->setElideMode(Qt::ElideNone);
    start->setStrikeOut(model.isEnded);
    times->addWidget(start);
    auto *end = new KVLabel(model.endTime, KVFont::system(11), KVColorRef(&KVPalette::text3, fade), content);
    end->setObjectName(QStringLiteral("row-end"));
    end->setElideMode(Qt::ElideNone);
    times->addWidget(end);
    auto *timeColumn = new QWidget(content);
    timeColumn->setLayout(times);
    times->setContentsMargins(0, 0, 0, 0);
    timeColumn->setFixedWidth(timeColumnWidth);
    root->addWidget(timeColumn);

    auto *details = new QVBoxLayout;
    details->setSpacing(2);
    auto *titleLine = new QHBoxLayout;
    titleLine->setSpacing(8);
    auto *title = new KVLabel(model.title, KVFont::system(13, KVFont::Weight::semibold), KVColorRef(&KVPalette::text1, fade), content);
    title->setObjectName(QStringLiteral("row-title"));
    title->setStrikeOut(model.isEnded);
    titleLine->addWidget(title);
    KVStatusPill *chip = nullptr;
    if (model.isCurrent)
        chip = new KVStatusPill(AppL10n::text(QStringLiteral("in_meeting")), QStringLiteral("circle.fill"), KVStatusTone::success, content);
    else if (model.isReady)
        chip = new KVStatusPill(model.readinessText, QStringLiteral("bell.fill"), KVStatusTone::bell, content);
    if (chip) {
        chip->setObjectName(QStringLiteral("row-chip"));
        chip->setOpacity(fade);
        // The chip keeps its whole text; the title gives way.
        chip->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        titleLine->addWidget(chip);
    }
    titleLine->addStretch(1);
    details->addLayout(titleLine);
    auto *calendarLine = new QHBoxLayout;
    calendarLine->setSpacing(4);
    calendarLine->addWidget(new KVSymbol(QStringLiteral("person.crop.circle"), 10, KVColorRef(&KVPalette::text3, fade),
                                         KVFont::Weight::regular, content));
    auto *calendar = new KVLabel(model.calendarName, KVFont::system(11), KVColorRef(&KVPalette::text3, fade), content);
    calendar->setObjectName(QStringLiteral("row-calendar"));
    calendarLine->addWidget(calendar, 1);
    details->addLayout(calendarLine);
    root->addLayout(details, 1);
    root->addSpacing(12);

    if (model.isEnded) {
        auto *ended = new KVStatusPill(AppL10n::text(QStringLiteral("ended")), KVStatusTone::neutral, content);
        ended->setObjectName(QStringLiteral("row-ended"));
        ended->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        ended->setOpacity(fade);
        root->addWidget(ended);
    } else {
        const bool prominent = model.isReady || model.isCurrent;
        const QString label = AppL10n::text(model.isCurrent ? QStringLiteral("join_current_meet") : QStringLiteral("join"));
        const std::optional<QUrl> link = model.joinURL;
        auto *join = new KVButton(label, prominent ? KVButton::Style::borderedProminent : KVButton::Style::bordered,
                                  [link, openURL] {
                                      if (link && openURL)
                                          openURL(*link);
                                  },
                                  content);
        join->setObjectName(QStringLiteral("row-join"));
        join->setProperty("prominent", prominent);
        join->setSymbol(QStringLiteral("video.fill"));
        join->setControlSize(KVButton::ControlSize::small);
        join->setTint(KVColorRef::accent());
        join->setEnabled(link.has_value());
        join->setHelp(AppL10n::text(QStringLiteral("join_account_chooser_help")));
        root->addWidget(join);
    }
}

void TodayMeetRow::paintEvent(QPaintEvent *)
{
    if (!background_)
        return;
    QPainter painter(this);
    painter.fillRect(rect(), background_->resolve(this));
}

} // namespace kestrivane
