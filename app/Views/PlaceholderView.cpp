#include "Views/PlaceholderView.h"

#include "Stores/AppStore.h"
#include "Support/AppL10n.h"
#include "Support/DateFormatting.h"

#include <QLabel>
#include <QVBoxLayout>

namespace kestrivane {

namespace {

QLabel *plainLabel(QWidget *parent)
{
    auto *label = new QLabel(parent);
    // Titles and messages come from calendars and servers: never rich text.
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

} // namespace

PlaceholderView::PlaceholderView(AppStore &store, QString heading, Content content, QWidget *parent)
    : QWidget(parent), store_(&store), content_(content), heading_(plainLabel(this)), status_(plainLabel(this)),
      meetings_(plainLabel(this))
{
    QFont headingFont = heading_->font();
    headingFont.setPointSizeF(headingFont.pointSizeF() * 1.4);
    headingFont.setBold(true);
    heading_->setFont(headingFont);
    heading_->setText(heading);
    status_->setObjectName(QStringLiteral("status"));
    meetings_->setObjectName(QStringLiteral("meetings"));
    meetings_->setVisible(content_ == Content::Meetings);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(12);
    layout->addWidget(heading_);
    layout->addWidget(status_);
    layout->addWidget(meetings_);
    layout->addStretch(1);

    connect(&store, &AppStore::changed, this, &PlaceholderView::refresh);
    refresh();
}

QString PlaceholderView::statusText() const
{
    if (!store_)
        return {};
    return content_ == Content::Meetings ? store_->syncStatus().label() : store_->googleConnectionStatus().label();
}

QString PlaceholderView::meetingsText() const
{
    if (!store_ || content_ != Content::Meetings)
        return {};
    const QList<CalendarEvent> &events = store_->todayMeetEvents();
    if (events.isEmpty())
        return AppL10n::text(QStringLiteral("placeholder_no_meetings_today"));
    QStringList lines;
    for (const CalendarEvent &event : events) {
        lines << QStringLiteral("%1 – %2  %3")
                     .arg(DateFormatting::shortTime().string(event.startDate),
                          DateFormatting::shortTime().string(event.endDate), event.title);
    }
    return lines.join(u'\n');
}

void PlaceholderView::refresh()
{
    // The store publishes often; the labels are set only when their texts change.
    const QString status = statusText();
    if (status_->text() != status)
        status_->setText(status);
    const QString meetings = meetingsText();
    if (meetings_->text() != meetings)
        meetings_->setText(meetings);
}

} // namespace kestrivane
