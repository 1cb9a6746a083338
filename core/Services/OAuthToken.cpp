#include "Services/KeychainTokenStore.h"

#include "Support/Clock.h"
#include "Support/Localization.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace kestrivane {

bool OAuthToken::isFresh() const
{
    return isFresh(QDateTime::currentDateTimeUtc());
}

bool OAuthToken::isFresh(const QDateTime &now) const
{
    return now.msecsTo(expiresAt) > 60'000;
}

QByteArray OAuthToken::toJson() const
{
    QJsonObject object{
        {QStringLiteral("accessToken"), accessToken},
        {QStringLiteral("expiresAt"), secondsSince1970(expiresAt) - secondsFrom1970To2001},
    };
    if (refreshToken)
        object.insert(QStringLiteral("refreshToken"), *refreshToken);
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

OAuthToken OAuthToken::fromJson(const QByteArray &json)
{
    const auto fail = [](const QString &detail) {
        return DecodingError(L10n::format(QStringLiteral("error_data_corrupted"), detail));
    };
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        throw fail(parseError.errorString());
    if (!document.isObject())
        throw fail(QStringLiteral("token is not a JSON object"));
    const QJsonObject object = document.object();
    const QJsonValue access = object.value(QStringLiteral("accessToken"));
    const QJsonValue expires = object.value(QStringLiteral("expiresAt"));
    const QJsonValue refresh = object.value(QStringLiteral("refreshToken"));
    if (!access.isString())
        throw fail(QStringLiteral("\"accessToken\" is missing or not a string"));
    if (!expires.isDouble())
        throw fail(QStringLiteral("\"expiresAt\" is missing or not a number"));
    if (!refresh.isUndefined() && !refresh.isNull() && !refresh.isString())
        throw fail(QStringLiteral("\"refreshToken\" is not a string"));
    OAuthToken token;
    token.accessToken = access.toString();
    if (refresh.isString())
        token.refreshToken = refresh.toString();
    token.expiresAt = instantFromSecondsSince1970(expires.toDouble() + secondsFrom1970To2001);
    return token;
}

} // namespace kestrivane
