#pragma once

#include "DesignSystem/KVDesign.h"
#include "Models/CalendarModels.h"

#include <QDateTime>
#include <QString>
#include <QTimeZone>
#include <QUrl>
#include <QWidget>

#include <functional>
#include <optional>

namespace kestrivane {

// One row of the Today window as plain values.
struct TodayMeetRowModel {
    QString id;
    QString startTime;
    QString endTime;
    QString title;
    QString calendarName;
    // The readiness text at the row's instant (shown while ready and not current).
    QString readinessText;
    std::optional<QUrl> joinURL;
    bool isReady = false;
    bool isCurrent = false;
    bool isNext = false;
    bool isEnded = false;

    static TodayMeetRowModel derive(const CalendarEvent &event, bool isReady, bool isCurrent, bool isNext,
                                    const QDateTime &now, const QTimeZone &zone);
    friend bool operator==(const TodayMeetRowModel &, const TodayMeetRowModel &) = default;
};

// A meeting in the Today window: start and end, title with the in-meeting or readiness chip,
// calendar, and the ended chip or a join button (prominent when ready or current). Its background
// is tinted for the current, the alerted and the next meeting; an ended row's content is faded.
class TodayMeetRow : public QWidget {
    Q_OBJECT

public:
    TodayMeetRow(const TodayMeetRowModel &model, int timeColumnWidth, std::function<void(const QUrl &)> openURL,
                 QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    std::optional<KVColorRef> background_;
};

} // namespace kestrivane
