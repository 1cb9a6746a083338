#pragma once

#include "Models/CalendarModels.h"

#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <optional>

class QVBoxLayout;

namespace kestrivane {

class AppStore;
class CalendarSelectionSwitch;
class KVDeferredRefresh;

// The calendars of one account (or of none: the "calendar_group_other" group).
struct CalendarAccountGroup {
    QString id;
    QString title;
    QList<CalendarInfo> calendars;
    friend bool operator==(const CalendarAccountGroup &, const CalendarAccountGroup &) = default;
};

// The calendars grouped by account e-mail (an absent one: the "calendar_group_other" text), each
// group's calendars with those selected by default first, then by name; groups by title. Names
// and titles compare case-insensitively in the current locale; equal ones keep the store's order.
QList<CalendarAccountGroup> calendarGroups(const QList<CalendarInfo> &calendars);

// The index (0-4) of a calendar's swatch colour among accent, warning, success, danger and bell:
// the FNV-1a hash of the identifier's UTF-8 bytes, modulo 5; the same on every run.
int calendarSwatchIndex(const QString &calendarID);

// The calendars pane: every calendar of the store by account, each with its selection switch.
// The list is built anew on the next turn when the calendars change; the switches follow the
// selection in place.
class CalendarsPane : public QWidget {
    Q_OBJECT

public:
    explicit CalendarsPane(AppStore &store, QWidget *parent = nullptr);

    QList<CalendarSelectionSwitch *> switches() const;

private:
    void refresh();
    void build(const QList<CalendarAccountGroup> &groups);

    QPointer<AppStore> store_;
    QVBoxLayout *layout_;
    std::optional<QList<CalendarAccountGroup>> shown_;
    QList<QPair<QString, QPointer<CalendarSelectionSwitch>>> switches_;
    KVDeferredRefresh *refresh_;
};

} // namespace kestrivane
