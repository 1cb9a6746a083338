#include "Models/CalendarModels.h"

#include "Services/GoogleEndpoints.h"
#include "Support/DateFormatting.h"
#include "Support/Error.h"
#include "Support/Localization.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <cmath>
#include <limits>

namespace kestrivane {

namespace {

DecodingError accountDecodingError(const QString &detail)
{
    return DecodingError(L10n::format(QStringLiteral("error_data_corrupted"), detail));
}

// Characters stripped from both ends of a token before it is searched for the Meet host.
bool isTokenWrapper(QChar c)
{
    static const QString wrappers = QStringLiteral(".,;()[]{}<>\"'");
    return wrappers.contains(c);
}

QString stripWrappers(const QString &token)
{
    qsizetype begin = 0;
    qsizetype end = token.size();
    while (begin < end && isTokenWrapper(token.at(begin)))
        ++begin;
    while (end > begin && isTokenWrapper(token.at(end - 1)))
        --end;
    return token.mid(begin, end - begin);
}

// Splits at every white-space or line-break character; adjacent separators give empty tokens.
QStringList whitespaceTokens(const QString &text)
{
    QStringList tokens;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i).isSpace()) {
            tokens.append(text.mid(start, i - start));
            start = i + 1;
        }
    }
    tokens.append(text.mid(start));
    return tokens;
}

// Percent-encodes a query name or value: everything but unreserved characters and ":/?@", so
// "&", "=", "+" and "#" inside a value cannot be read as delimiters.
QByteArray encodedQueryComponent(const QString &text)
{
    return QUrl::toPercentEncoding(text, QByteArrayLiteral(":/?@"));
}

// Truncates toward zero into the signed 64-bit range: saturates beyond it, NaN gives 0.
qint64 truncatedSeconds(double seconds)
{
    if (std::isnan(seconds))
        return 0;
    // 2^63 is exactly representable; every double below it (and at or above -2^63) fits.
    constexpr double limit = 9223372036854775808.0;
    if (seconds >= limit)
        return std::numeric_limits<qint64>::max();
    if (seconds < -limit)
        return std::numeric_limits<qint64>::min();
    return static_cast<qint64>(seconds);
}

} // namespace


QString GoogleAccount::displayName() const
{
    if (name && !name->isEmpty())
        return *name + QStringLiteral(" <") + email + QLatin1Char('>');
    return email;
}

QJsonObject GoogleAccount::toJson() const
{
    QJsonObject object{{QStringLiteral("id"), id}, {QStringLiteral("email"), email}};
    if (name)
        object.insert(QStringLiteral("name"), *name);
    return object;
}

GoogleAccount GoogleAccount::fromJson(const QJsonValue &value)
{
    if (!value.isObject())
        throw accountDecodingError(QStringLiteral("account is not a JSON object"));
    const QJsonObject object = value.toObject();
    const QJsonValue idValue = object.value(QStringLiteral("id"));
    const QJsonValue emailValue = object.value(QStringLiteral("email"));
    const QJsonValue nameValue = object.value(QStringLiteral("name"));
    if (!idValue.isString())
        throw accountDecodingError(QStringLiteral("account \"id\" is missing or not a string"));
    if (!emailValue.isString())
        throw accountDecodingError(QStringLiteral("account \"email\" is missing or not a string"));
    if (!nameValue.isUndefined() && !nameValue.isNull() && !nameValue.isString())
        throw accountDecodingError(QStringLiteral("account \"name\" is not a string"));
    GoogleAccount account;
    account.id = idValue.toString();
    account.email = emailValue.toString();
    if (nameValue.isString())
        account.name = nameValue.toString();
    return account;
}

QByteArray GoogleAccount::encodeList(const QList<GoogleAccount> &accounts)
{
    QJsonArray array;
    for (const GoogleAccount &account : accounts)
        array.append(account.toJson());
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

QList<GoogleAccount> GoogleAccount::decodeList(const QByteArray &data)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(data, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        throw accountDecodingError(parseError.errorString());
    if (!document.isArray())
        throw accountDecodingError(QStringLiteral("account list is not a JSON array"));
    QList<GoogleAccount> accounts;
    const QJsonArray array = document.array();
    accounts.reserve(array.size());
    for (const QJsonValue &element : array)
        accounts.append(fromJson(element));
    return accounts;
}


std::optional<QUrl> CalendarEvent::meetURL() const
{
    if (hangoutLink)
        return hangoutLink;
    if (conferenceData && conferenceData->uri)
        return conferenceData->uri;
    if (std::optional<QUrl> url = firstMeetURL(location))
        return url;
    return firstMeetURL(description);
}

std::optional<QUrl> CalendarEvent::firstMeetURL(const std::optional<QString> &text)
{
    // Most texts name no Meet host: no need to split them.
    if (!text || !text->contains(GoogleHosts::meet, Qt::CaseSensitive))
        return std::nullopt;
    for (const QString &rawToken : whitespaceTokens(*text)) {
        const QString token = stripWrappers(rawToken);
        if (!token.contains(GoogleHosts::meet, Qt::CaseSensitive))
            continue;
        const QUrl url(token, QUrl::StrictMode);
        if (url.isValid())
            return url;
        break;
    }
    return std::nullopt;
}

bool CalendarEvent::isMeetEvent() const
{
    // As meetURL(), without copying the link.
    if (hangoutLink || (conferenceData && conferenceData->uri) || firstMeetURL(location) || firstMeetURL(description))
        return true;
    return conferenceData && conferenceData->solutionType == QStringLiteral("hangoutsMeet");
}

std::optional<QUrl> CalendarEvent::joinURL() const
{
    const std::optional<QUrl> meet = meetURL();
    if (!meet)
        return std::nullopt;
    if (!accountEmail || accountEmail->isEmpty())
        return meet;
    const QByteArray query = encodedQueryComponent(QStringLiteral("Email")) + '='
        + encodedQueryComponent(*accountEmail) + '&' + encodedQueryComponent(QStringLiteral("continue")) + '='
        + encodedQueryComponent(meet->toString(QUrl::FullyEncoded));
    QUrl url(GoogleHosts::accountChooserURL, QUrl::StrictMode);
    url.setQuery(QString::fromLatin1(query), QUrl::StrictMode);
    if (!url.isValid())
        return meet;
    return url;
}

QString CalendarEvent::notificationIdentifier(double leadTime) const
{
    // Integer division truncates toward zero, like the seconds it stands for.
    const qint64 startSeconds = startDate.isValid() ? startDate.toMSecsSinceEpoch() / 1000 : 0;
    // Built in one buffer: the store makes one for every meeting at every sync.
    const QString start = QString::number(startSeconds);
    const QString lead = QString::number(truncatedSeconds(leadTime));
    QString identifier;
    identifier.reserve(5 + calendarID.size() + id.size() + start.size() + lead.size() + 3);
    identifier.append(QLatin1String("meet-")).append(calendarID).append(u'-').append(id).append(u'-').append(start)
        .append(u'-').append(lead);
    return identifier;
}

bool CalendarEvent::startsOnSameDayAs(const QDateTime &instant, const QTimeZone &calendar) const
{
    return isSameDay(startDate, instant, calendar);
}

MeetReadiness CalendarEvent::readiness(const QDateTime &instant) const
{
    const qint64 msecs = instant.msecsTo(startDate);
    if (msecs <= 300'000)
        return MeetReadiness::soon;
    if (msecs <= 900'000)
        return MeetReadiness::preparing;
    return MeetReadiness::headsUp;
}

} // namespace kestrivane
