#include "TestSupport/StandInGoogleAccount.h"

#include "Services/KeychainTokenStore.h"
#include "TestSupport/DesktopSession.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>

namespace kestrivane::test {

namespace {

QByteArray json(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

} // namespace

StandInGoogleAccount::StandInGoogleAccount(FakeGoogleServer &server, DesktopSession &session)
    : oauth(server), calendar(server), server_(server), session_(session)
{
}

QString StandInGoogleAccount::install(const QString &keychainService, bool expired)
{
    session_.setVariable(QStringLiteral("KESTRIVANE_GOOGLE_STAND_IN"), server_.baseURL().toString());

    // The OAuth client of this install.
    QDir().mkpath(session_.dataHome() + QStringLiteral("/kestrivane"));
    QFile config(session_.dataHome() + QStringLiteral("/kestrivane/OAuthConfig.plist"));
    if (!config.open(QIODevice::WriteOnly))
        return QStringLiteral("cannot write the OAuth configuration");
    config.write(R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict><key>GOOGLE_OAUTH_CLIENT_ID</key><string>test-client.apps.example</string>
<key>GOOGLE_OAUTH_CLIENT_SECRET</key><string>test-secret</string></dict></plist>)");
    config.close();

    // The token a single-account install left in the keyring.
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const OAuthToken token{QStringLiteral("ya29.legacy"), QStringLiteral("1//legacy"), expired ? now.addSecs(-60) : now.addSecs(3600)};
    const SecretToolResult stored =
        session_.run(QStringLiteral("secret-tool"),
                     {QStringLiteral("store"), QStringLiteral("--label=Kestrivane"), QStringLiteral("xdg:schema"),
                      KeychainTokenStore::schemaName, QStringLiteral("service"), keychainService, QStringLiteral("account"),
                      QStringLiteral("oauth")},
                     token.toJson());
    if (stored.exitCode != 0)
        return QStringLiteral("secret-tool store failed: ") + QString::fromUtf8(stored.errors);

    calendar.acceptedToken = QStringLiteral("ya29.legacy");
    calendar.profile = FakeResponse::json(200, R"({"id": "1", "email": "emma@example.com", "name": "Emma"})");
    calendar.calendarList = FakeResponse::json(200, json(QJsonObject{{"items", QJsonArray{QJsonObject{
        {"id", email}, {"summary", "Emma"}, {"primary", true}, {"accessRole", "owner"}}}}}));
    setMeetings({});
    return {};
}

void StandInGoogleAccount::setMeetings(const QJsonArray &items)
{
    calendar.setEvents(email, json(QJsonObject{{"summary", "Emma"}, {"items", items}}));
}

QJsonObject StandInGoogleAccount::meeting(const QString &id, const QString &title, const QDateTime &start, const QString &code)
{
    const auto time = [](const QDateTime &t) { return QJsonObject{{"dateTime", t.toUTC().toString(Qt::ISODate)}}; };
    return QJsonObject{{"id", id}, {"summary", title}, {"start", time(start)}, {"end", time(start.addSecs(1800))},
                       {"hangoutLink", "https://meet.google.com/" + code}};
}

} // namespace kestrivane::test
