#pragma once

#include "Models/CalendarModels.h"

#include <QDateTime>
#include <QString>
#include <QTimeZone>
#include <QUrl>
#include <QWidget>

#include <functional>
#include <optional>

namespace kestrivane {

// One line of the panel's today list as plain values.
struct MenuMeetRowModel {
    QString id;
    QString startTime;
    QString title;
    QString calendarName;
    std::optional<QUrl> joinURL;
    // Ended from its end on; current from its start up to its end.
    bool isEnded = false;
    bool isCurrent = false;

    static MenuMeetRowModel derive(const CalendarEvent &event, const QDateTime &now, const QTimeZone &zone);
    friend bool operator==(const MenuMeetRowModel &, const MenuMeetRowModel &) = default;
};

// A meeting of the day in the panel: start time, title (struck through once ended, green while
// current) with the in-meeting chip, calendar name, and a small join button until it has ended.
// An ended row is faded.
class MenuMeetRow : public QWidget {
    Q_OBJECT

public:
    // `timeColumnWidth`: the start-time column, wide enough for every short time of the locale.
    MenuMeetRow(const MenuMeetRowModel &model, int timeColumnWidth, std::function<void(const QUrl &)> openURL,
                QWidget *parent = nullptr);
};

} // namespace kestrivane
