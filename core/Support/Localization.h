#pragma once

#include <QHash>
#include <QLocale>
#include <QMutex>
#include <QString>

#include <concepts>
#include <optional>

namespace kestrivane {

// Parses the text of a ".strings" table: `"key" = "value";` lines, with /* */ and // comments
// and the escapes \" \\ \n \t \r \0 and \Uxxxx. Malformed input yields the entries before the fault.
QHash<QString, QString> parseStringsTable(const QString &text);

// The plural category of `count` in `language`: "one" or "other" (English: "one" for exactly 1;
// Japanese has no plural forms, so always "other").
QString pluralCategory(const QString &language, double count);
// The key a table entry belongs to: "key" for a plural variant "key.one", "key.other", ...;
// any other key unchanged.
QString pluralBaseKey(const QString &key);

// A folder of "<language>.lproj/<table>.strings" string tables (compiled in under ":/bundle").
// Shared by the core's and the application's lookups. A count text may have plural variants
// beside its key: "key.one" = "%1 meeting"; the key itself holds the other form ("%1 meetings").
class LocalizedBundle {
public:
    explicit LocalizedBundle(QString root, QString table = QStringLiteral("Localizable"));

    // "en" or "ja" for an override identifier whose lower-cased text starts with it, else none.
    static std::optional<QString> languageCode(const std::optional<QString> &overrideLocaleIdentifier);
    // The locale of the whole override identifier, or the system locale.
    static QLocale locale(const std::optional<QString> &overrideLocaleIdentifier);

    // The text of `key` in the override's language table when that table exists, else in the
    // system's preferred language among the tables (English when none matches); the key itself
    // when the chosen table lacks it.
    QString text(const QString &key, const std::optional<QString> &overrideLocaleIdentifier) const;
    // The same for a text about `count`: the variant "key.<category>" of the count's plural
    // category in the chosen table's language when the table has it, else the key's text.
    QString text(const QString &key, double count, const std::optional<QString> &overrideLocaleIdentifier) const;

    bool hasLanguage(const QString &language) const;
    // The preferred language of the system among the tables here.
    QString systemLanguage() const;
    // The table's language for the override: its own when there is a table of it, else the system's.
    QString language(const std::optional<QString> &overrideLocaleIdentifier) const;

private:
    QHash<QString, QString> table(const QString &language) const;

    QString root_;
    QString table_;
    mutable QMutex mutex_;
    mutable QHash<QString, QHash<QString, QString>> tables_;
};

template<typename T>
concept FormatArgument = std::convertible_to<T, QString> || std::is_arithmetic_v<std::remove_cvref_t<T>>;

// Renders a format argument as text in `locale` (numbers localised; texts unchanged).
template<FormatArgument T>
QString formatArgument(const QLocale &locale, const T &value)
{
    if constexpr (std::convertible_to<T, QString>)
        return QString(value);
    else
        return locale.toString(value);
}

// The first number among `args`: the count that chooses a text's plural form.
template<FormatArgument... Args>
std::optional<double> firstCount(const Args &...args)
{
    std::optional<double> count;
    [[maybe_unused]] const auto take = [&count](const auto &value) {
        if constexpr (std::is_arithmetic_v<std::remove_cvref_t<decltype(value)>>) {
            if (!count)
                count = static_cast<double>(value);
        }
    };
    (take(args), ...);
    return count;
}

// Fills "%1".."%n" of `pattern` from `arguments` in one pass; other placeholders stay as they are.
QString fillPlaceholders(const QString &pattern, const QStringList &arguments);

// A lookup over one string table with a locale override: keys are lower snake case, a missing key
// shows as itself, and format texts ("%1", "%2", ...) are filled in one pass, so a translated text
// can neither crash nor read past its arguments. A format text with plural variants takes the one
// of its first numeric argument's plural category in the table's language. The override is set
// once at start-up; lookups may come from any thread.
class Localizer {
public:
    explicit Localizer(QString table);

    void configure(std::optional<QString> overrideLocaleIdentifier);
    std::optional<QString> overrideLocaleIdentifier() const;

    QString text(const QString &key) const;

    template<FormatArgument... Args>
    QString format(const QString &key, const Args &...args) const
    {
        const std::optional<QString> identifier = overrideLocaleIdentifier();
        const QLocale loc = LocalizedBundle::locale(identifier);
        const std::optional<double> count = firstCount(args...);
        const QString pattern = count ? bundle_.text(key, *count, identifier) : bundle_.text(key, identifier);
        return fillPlaceholders(pattern, {formatArgument(loc, args)...});
    }

    // The override's whole locale, or the system locale.
    QLocale locale() const;
    // The language the texts come in ("en", "ja").
    QString language() const { return bundle_.language(overrideLocaleIdentifier()); }
    const LocalizedBundle &bundle() const { return bundle_; }

private:
    LocalizedBundle bundle_;
    mutable QMutex mutex_;
    std::optional<QString> override_;
};

// The core's localisation lookup, over the "Localizable" tables.
class L10n {
public:
    static void configure(std::optional<QString> overrideLocaleIdentifier) { shared().configure(std::move(overrideLocaleIdentifier)); }
    static std::optional<QString> overrideLocaleIdentifier() { return shared().overrideLocaleIdentifier(); }
    static QString text(const QString &key) { return shared().text(key); }

    template<FormatArgument... Args>
    static QString format(const QString &key, const Args &...args)
    {
        return shared().format(key, args...);
    }

    static QLocale locale() { return shared().locale(); }
    static const LocalizedBundle &bundle() { return shared().bundle(); }
    static QString fill(const QString &pattern, const QStringList &arguments) { return fillPlaceholders(pattern, arguments); }

private:
    static Localizer &shared();
};

} // namespace kestrivane
