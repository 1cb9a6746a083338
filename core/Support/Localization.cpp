#include "Support/Localization.h"

#include "Support/BundleInfo.h"

#include <QFile>

namespace kestrivane {

namespace {

class StringsParser {
public:
    explicit StringsParser(const QString &text) : s_(text) {}

    QHash<QString, QString> parse()
    {
        QHash<QString, QString> result;
        while (true) {
            skipSpaceAndComments();
            if (atEnd())
                break;
            const auto key = quoted();
            if (!key)
                break;
            skipSpaceAndComments();
            if (!consume(u'='))
                break;
            skipSpaceAndComments();
            const auto value = quoted();
            if (!value)
                break;
            skipSpaceAndComments();
            if (!consume(u';'))
                break;
            result.insert(*key, *value);
        }
        return result;
    }

private:
    bool atEnd() const { return i_ >= s_.size(); }
    bool consume(char16_t c)
    {
        if (atEnd() || s_[i_] != c)
            return false;
        ++i_;
        return true;
    }

    void skipSpaceAndComments()
    {
        while (!atEnd()) {
            if (s_[i_].isSpace()) {
                ++i_;
            } else if (s_.mid(i_, 2) == u"/*") {
                const qsizetype end = s_.indexOf(u"*/", i_ + 2);
                i_ = end < 0 ? s_.size() : end + 2;
            } else if (s_.mid(i_, 2) == u"//") {
                const qsizetype end = s_.indexOf(u'\n', i_);
                i_ = end < 0 ? s_.size() : end + 1;
            } else {
                break;
            }
        }
    }

    std::optional<QString> quoted()
    {
        if (!consume(u'"'))
            return std::nullopt;
        QString out;
        while (!atEnd()) {
            const QChar c = s_[i_++];
            if (c == u'"')
                return out;
            if (c != u'\\') {
                out.append(c);
                continue;
            }
            if (atEnd())
                return std::nullopt;
            const QChar e = s_[i_++];
            switch (e.unicode()) {
            case u'n': out.append(u'\n'); break;
            case u't': out.append(u'\t'); break;
            case u'r': out.append(u'\r'); break;
            case u'0': out.append(QChar(0)); break;
            case u'U':
            case u'u': {
                bool ok = false;
                const uint code = s_.mid(i_, 4).toUInt(&ok, 16);
                if (!ok || s_.mid(i_, 4).size() != 4)
                    return std::nullopt;
                i_ += 4;
                out.append(QChar(static_cast<char16_t>(code)));
                break;
            }
            default: out.append(e); break;
            }
        }
        return std::nullopt;
    }

    const QString &s_;
    qsizetype i_ = 0;
};

} // namespace

QHash<QString, QString> parseStringsTable(const QString &text)
{
    return StringsParser(text).parse();
}

namespace {
const QStringList pluralCategories{QStringLiteral("zero"), QStringLiteral("one"), QStringLiteral("two"),
                                   QStringLiteral("few"), QStringLiteral("many"), QStringLiteral("other")};
} // namespace

QString pluralCategory(const QString &language, double count)
{
    if (language == u"en" && count == 1)
        return QStringLiteral("one");
    return QStringLiteral("other");
}

QString pluralBaseKey(const QString &key)
{
    const qsizetype dot = key.lastIndexOf(u'.');
    if (dot > 0 && pluralCategories.contains(key.mid(dot + 1)))
        return key.left(dot);
    return key;
}

LocalizedBundle::LocalizedBundle(QString root, QString table) : root_(std::move(root)), table_(std::move(table)) {}

std::optional<QString> LocalizedBundle::languageCode(const std::optional<QString> &overrideLocaleIdentifier)
{
    if (!overrideLocaleIdentifier)
        return std::nullopt;
    const QString lower = overrideLocaleIdentifier->toLower();
    if (lower.startsWith(u"en"))
        return QStringLiteral("en");
    if (lower.startsWith(u"ja"))
        return QStringLiteral("ja");
    return std::nullopt;
}

QLocale LocalizedBundle::locale(const std::optional<QString> &overrideLocaleIdentifier)
{
    return overrideLocaleIdentifier ? QLocale(*overrideLocaleIdentifier) : QLocale::system();
}

bool LocalizedBundle::hasLanguage(const QString &language) const
{
    return QFile::exists(root_ + u'/' + language + QStringLiteral(".lproj/") + table_ + QStringLiteral(".strings"));
}

QString LocalizedBundle::systemLanguage() const
{
    for (const QString &ui : QLocale::system().uiLanguages()) {
        const QString language = ui.section(u'-', 0, 0).section(u'_', 0, 0).toLower();
        if (hasLanguage(language))
            return language;
    }
    return QStringLiteral("en");
}

QString LocalizedBundle::language(const std::optional<QString> &overrideLocaleIdentifier) const
{
    const auto code = languageCode(overrideLocaleIdentifier);
    return code && hasLanguage(*code) ? *code : systemLanguage();
}

QString LocalizedBundle::text(const QString &key, const std::optional<QString> &overrideLocaleIdentifier) const
{
    return table(language(overrideLocaleIdentifier)).value(key, key);
}

QString LocalizedBundle::text(const QString &key, double count, const std::optional<QString> &overrideLocaleIdentifier) const
{
    const QString chosen = language(overrideLocaleIdentifier);
    const QHash<QString, QString> entries = table(chosen);
    if (const auto variant = entries.constFind(key + u'.' + pluralCategory(chosen, count)); variant != entries.constEnd())
        return variant.value();
    return entries.value(key, key);
}

QHash<QString, QString> LocalizedBundle::table(const QString &language) const
{
    QMutexLocker locker(&mutex_);
    auto it = tables_.find(language);
    if (it == tables_.end()) {
        QHash<QString, QString> entries;
        QFile file(root_ + u'/' + language + QStringLiteral(".lproj/") + table_ + QStringLiteral(".strings"));
        if (file.open(QIODevice::ReadOnly))
            entries = parseStringsTable(QString::fromUtf8(file.readAll()));
        it = tables_.insert(language, entries);
    }
    return it.value();
}

Localizer::Localizer(QString table) : bundle_(BundleInfo::resourceRoot, std::move(table)) {}

void Localizer::configure(std::optional<QString> identifier)
{
    QMutexLocker locker(&mutex_);
    override_ = std::move(identifier);
}

std::optional<QString> Localizer::overrideLocaleIdentifier() const
{
    QMutexLocker locker(&mutex_);
    return override_;
}

QString Localizer::text(const QString &key) const
{
    return bundle_.text(key, overrideLocaleIdentifier());
}

QLocale Localizer::locale() const
{
    return LocalizedBundle::locale(overrideLocaleIdentifier());
}

Localizer &L10n::shared()
{
    static Localizer core(QStringLiteral("Localizable"));
    return core;
}

QString fillPlaceholders(const QString &pattern, const QStringList &arguments)
{
    QString out;
    out.reserve(pattern.size());
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern[i];
        if (c == u'%' && i + 1 < pattern.size() && pattern[i + 1].isDigit()) {
            // "%1".."%99": the longest number that names an argument.
            qsizetype j = i + 1;
            int number = 0;
            int best = 0;
            qsizetype bestEnd = i + 1;
            while (j < pattern.size() && pattern[j].isDigit() && j - i <= 2) {
                number = number * 10 + pattern[j].digitValue();
                ++j;
                if (number >= 1 && number <= arguments.size()) {
                    best = number;
                    bestEnd = j;
                }
            }
            if (best > 0) {
                out.append(arguments[best - 1]);
                i = bestEnd - 1;
                continue;
            }
        }
        out.append(c);
    }
    return out;
}

} // namespace kestrivane
