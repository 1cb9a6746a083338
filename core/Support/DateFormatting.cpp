#include "Support/DateFormatting.h"

#include "Support/Localization.h"

#include <QRegularExpression>

namespace kestrivane {

namespace {

bool isJapanese(const QLocale &locale)
{
    return locale.language() == QLocale::Japanese;
}

bool isEnglish(const QLocale &locale)
{
    return locale.language() == QLocale::English;
}

// Whether the locale writes the day before the month and the year (7/12/2026 in en_GB).
bool dayFirst(const QLocale &locale)
{
    for (const QChar c : locale.dateFormat(QLocale::ShortFormat)) {
        if (c == u'd' || c == u'M' || c == u'y')
            return c == u'd';
    }
    return false;
}

// The locale's short time pattern with hours and minutes only: some locales (C/POSIX among them)
// put seconds in their short format.
QString hoursAndMinutesPattern(const QLocale &locale)
{
    QString pattern = locale.timeFormat(QLocale::ShortFormat);
    // A seconds field with the separator and quoted-free text before it ("HH:mm:ss" → "HH:mm").
    static const QRegularExpression seconds(QStringLiteral("[^hHmaApPtz']*s+(\\.z+)?"));
    pattern.remove(seconds);
    return pattern.trimmed();
}

} // namespace

DateFormatter::DateFormatter(Style dateStyle, Style timeStyle, QLocale locale)
    : dateStyle_(dateStyle), timeStyle_(timeStyle), patterns_(patternsFor(std::move(locale)))
{
}

QLocale DateFormatter::locale() const
{
    return patterns().locale;
}

void DateFormatter::setLocale(const QLocale &locale)
{
    Patterns patterns = patternsFor(locale);
    QMutexLocker locker(&mutex_);
    patterns_ = std::move(patterns);
}

DateFormatter::Patterns DateFormatter::patterns() const
{
    QMutexLocker locker(&mutex_);
    return patterns_;
}

DateFormatter::Patterns DateFormatter::patternsFor(QLocale locale) const
{
    Patterns patterns;
    if (dateStyle_ == Style::Full)
        patterns.date = locale.dateFormat(QLocale::LongFormat);
    else if (dateStyle_ == Style::Medium && isEnglish(locale))
        patterns.date = dayFirst(locale) ? QStringLiteral("d MMM yyyy") : QStringLiteral("MMM d, yyyy");
    else if (dateStyle_ == Style::Medium && isJapanese(locale))
        patterns.date = QStringLiteral("yyyy/MM/dd");
    else
        patterns.date = locale.dateFormat(QLocale::ShortFormat);
    patterns.time = hoursAndMinutesPattern(locale);
    patterns.locale = std::move(locale);
    return patterns;
}

QString DateFormatter::string(const QDateTime &instant, const QTimeZone &zone) const
{
    const Patterns current = patterns();
    const QLocale &loc = current.locale;
    const QDateTime local = instant.toTimeZone(zone);
    QString date;
    QString time;
    if (dateStyle_ != Style::None)
        date = loc.toString(local.date(), current.date);
    if (timeStyle_ != Style::None)
        time = loc.toString(local.time(), current.time);
    if (date.isEmpty())
        return time;
    if (time.isEmpty())
        return date;
    if (isJapanese(loc))
        return date + u' ' + time;
    if (isEnglish(loc) && dateStyle_ == Style::Medium)
        return date + QStringLiteral(" at ") + time;
    return date + QStringLiteral(", ") + time;
}

DateFormatter &DateFormatting::shortTime()
{
    static DateFormatter formatter(DateFormatter::Style::None, DateFormatter::Style::Short);
    return formatter;
}

DateFormatter &DateFormatting::eventTime()
{
    static DateFormatter formatter(DateFormatter::Style::Medium, DateFormatter::Style::Short);
    return formatter;
}

DateFormatter &DateFormatting::shortDateTime()
{
    static DateFormatter formatter(DateFormatter::Style::Short, DateFormatter::Style::Short);
    return formatter;
}

void DateFormatting::configure(const std::optional<QString> &localeIdentifier)
{
    const QLocale locale = localeIdentifier ? QLocale(*localeIdentifier) : QLocale::system();
    shortTime().setLocale(locale);
    eventTime().setLocale(locale);
    shortDateTime().setLocale(locale);
}

QString DateFormatting::notificationFireDateText(const QDateTime &fireDate, const QDateTime &reference,
                                                 const QTimeZone &calendar)
{
    if (isSameDay(fireDate, reference, calendar))
        return shortTime().string(fireDate, calendar);
    const QDateTime tomorrow = startOfDay(reference, calendar).toTimeZone(calendar).addDays(1);
    if (tomorrow.isValid() && isSameDay(fireDate, tomorrow, calendar))
        return L10n::format(QStringLiteral("settings_next_notification_tomorrow"), shortTime().string(fireDate, calendar));
    return shortDateTime().string(fireDate, calendar);
}

bool isSameDay(const QDateTime &a, const QDateTime &b, const QTimeZone &zone)
{
    return a.toTimeZone(zone).date() == b.toTimeZone(zone).date();
}

QDateTime startOfDay(const QDateTime &instant, const QTimeZone &zone)
{
    return instant.toTimeZone(zone).date().startOfDay(zone).toUTC();
}

} // namespace kestrivane
