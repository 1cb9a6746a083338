#pragma once

#include <QDateTime>
#include <QLocale>
#include <QMutex>
#include <QTimeZone>

#include <optional>

namespace kestrivane {

// Formats instants in a date style and a time style, in the local time zone.
class DateFormatter {
public:
    // Full: the locale's long date with the weekday ("Monday, March 2, 2026", "2026年3月2日月曜日").
    enum class Style { None, Short, Medium, Full };

    DateFormatter(Style dateStyle, Style timeStyle, QLocale locale = QLocale::system());

    QString string(const QDateTime &instant, const QTimeZone &zone = QTimeZone::systemTimeZone()) const;

    QLocale locale() const;
    void setLocale(const QLocale &locale);
    Style dateStyle() const { return dateStyle_; }
    Style timeStyle() const { return timeStyle_; }

private:
    // The patterns for the locale, worked out once when it is set: asking the system locale for
    // its formats costs more than formatting.
    struct Patterns {
        QLocale locale;
        QString date;
        QString time;
    };
    Patterns patternsFor(QLocale locale) const;
    Patterns patterns() const;

    Style dateStyle_;
    Style timeStyle_;
    mutable QMutex mutex_;
    Patterns patterns_;
};

// The shared formatters and the fire-time text of the next notification.
class DateFormatting {
public:
    // A clock time ("9:30 AM", "9:30").
    static DateFormatter &shortTime();
    // A meeting's date and start ("Mar 2, 2026 at 9:30 AM", "2026/03/02 9:30").
    static DateFormatter &eventTime();
    // A date and time on another day ("3/2/26, 9:30 AM", "2026/03/02 9:30").
    static DateFormatter &shortDateTime();

    // Sets the locale of all three formatters: the identifier's, or the system's when none.
    static void configure(const std::optional<QString> &localeIdentifier);

    // The fire time as the settings show it: the clock time on the reference day, "tomorrow" and
    // the clock time on the next day, else the short date and time. `calendar` is the time zone
    // whose days count.
    static QString notificationFireDateText(const QDateTime &fireDate, const QDateTime &reference,
                                            const QTimeZone &calendar = QTimeZone::systemTimeZone());
};

// True when both instants fall on the same calendar day in `zone`.
bool isSameDay(const QDateTime &a, const QDateTime &b, const QTimeZone &zone = QTimeZone::systemTimeZone());
// Midnight at the start of the instant's day in `zone` (the first valid instant of that day).
QDateTime startOfDay(const QDateTime &instant, const QTimeZone &zone = QTimeZone::systemTimeZone());

} // namespace kestrivane
