#include "Support/AppL10n.h"

#include "Support/BundleInfo.h"

#include <QLibraryInfo>

namespace kestrivane {

Localizer &AppL10n::shared()
{
    static Localizer app(QStringLiteral("App"));
    return app;
}

QString AppL10n::systemText(const QString &key)
{
    static const LocalizedBundle system(BundleInfo::resourceRoot, QStringLiteral("System"));
    return system.text(key, std::nullopt);
}

std::unique_ptr<QTranslator> AppL10n::qtTranslator()
{
    const QString wanted = language();
    if (wanted == u"en")
        return nullptr;
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(QStringLiteral("qtbase_") + wanted, QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return nullptr;
    return translator;
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
