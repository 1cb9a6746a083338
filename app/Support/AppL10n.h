#pragma once

#include "Models/CalendarModels.h"
#include "Support/DateFormatting.h"
#include "Support/Localization.h"

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QTranslator>

#include <memory>
#include <optional>

namespace kestrivane {

// The application's localisation lookup: the "App" string tables of the bundle, with a locale
// override of its own (set once at start, before any text is looked up). Keys are lower snake
// case; a missing key shows as itself. Format texts take "%1", "%2", ... and are filled in one
// pass, so a translated text can neither crash nor read past its arguments.
class AppL10n {
public:
    static void configure(std::optional<QString> overrideLocaleIdentifier) { shared().configure(std::move(overrideLocaleIdentifier)); }
    static std::optional<QString> overrideLocaleIdentifier() { return shared().overrideLocaleIdentifier(); }
    static QString text(const QString &key) { return shared().text(key); }

    template<FormatArgument... Args>
    static QString format(const QString &key, const Args &...args)
    {
        return shared().format(key, args...);
    }

    // The override's locale, or the system locale.
    static QLocale locale() { return shared().locale(); }
    static const LocalizedBundle &bundle() { return shared().bundle(); }
    // The language the texts come in ("en", "ja").
    static QString language() { return shared().language(); }

    // Qt's own texts (network and file errors that ours quote) in the language of ours, from the
    // system's Qt translations; none for English or when they are not installed.
    static std::unique_ptr<QTranslator> qtTranslator();

    // A text of the "System" tables in the system's own language: the override does not reach it.
    static QString systemText(const QString &key);

    // `instant` in the local time zone, in `locale()`, with the given styles.
    static QString formatDate(const QDateTime &instant, DateFormatter::Style dateStyle, DateFormatter::Style timeStyle);

    // How near the meeting is at `instant`: "meet_heads_up", "meet_preparing" or
    // "meet_starting_soon".
    static QString readinessText(const CalendarEvent &event, const QDateTime &instant);

private:
    static Localizer &shared();
};

} // namespace kestrivane
