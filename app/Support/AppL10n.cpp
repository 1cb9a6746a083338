#include "Support/AppL10n.h"

#include "Support/BundleInfo.h"

#include <QReadWriteLock>

namespace kestrivane {

namespace {

QReadWriteLock overrideLock;
std::optional<QString> overrideIdentifier;

} // namespace

void AppL10n::configure(std::optional<QString> identifier)
{
    QWriteLocker locker(&overrideLock);
    overrideIdentifier = std::move(identifier);
}

std::optional<QString> AppL10n::overrideLocaleIdentifier()
{
    QReadLocker locker(&overrideLock);
    return overrideIdentifier;
}

const LocalizedBundle &AppL10n::bundle()
{
    static const LocalizedBundle app(BundleInfo::resourceRoot, QStringLiteral("App"));
    return app;
}

QString AppL10n::text(const QString &key)
{
    return bundle().text(key, overrideLocaleIdentifier());
}

QLocale AppL10n::locale()
{
    return LocalizedBundle::locale(overrideLocaleIdentifier());
}

QString AppL10n::formatDate(const QDateTime &instant, DateFormatter::Style dateStyle, DateFormatter::Style timeStyle)
{
    return DateFormatter(dateStyle, timeStyle, locale()).string(instant);
}

QString AppL10n::readinessText(const CalendarEvent &event, const QDateTime &instant)
{
    switch (event.readiness(instant)) {
    case MeetReadiness::headsUp: return text(QStringLiteral("meet_heads_up"));
    case MeetReadiness::preparing: return text(QStringLiteral("meet_preparing"));
    case MeetReadiness::soon: break;
    }
    return text(QStringLiteral("meet_starting_soon"));
}

} // namespace kestrivane
