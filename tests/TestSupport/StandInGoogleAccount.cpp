#include "TestSupport/StandInGoogleAccount.h"

#include "Models/CalendarModels.h"
#include "Services/KeychainTokenStore.h"
#include "Support/BundleInfo.h"
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

QString StandInGoogleAccount::serve()
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

    calendar.acceptedToken = QStringLiteral("ya29.legacy");
    calendar.profile = FakeResponse::json(200, R"({"id": "1", "email": "emma@example.com", "name": "Emma"})");
    calendar.calendarList = FakeResponse::json(200, json(QJsonObject{{"items", QJsonArray{QJsonObject{
        {"id", email}, {"summary", "Emma"}, {"primary", true}, {"accessRole", "owner"}}}}}));
    setMeetings({});
    return {};
}

QString StandInGoogleAccount::storeToken(const QString &keychainService, const QString &account, bool expired)
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const OAuthToken token{QStringLiteral("ya29.legacy"), QStringLiteral("1//legacy"), expired ? now.addSecs(-60) : now.addSecs(3600)};
    const SecretToolResult stored =
        session_.run(QStringLiteral("secret-tool"),
                     {QStringLiteral("store"), QStringLiteral("--label=Kestrivane"), QStringLiteral("xdg:schema"),
                      KeychainTokenStore::schemaName, QStringLiteral("service"), keychainService, QStringLiteral("account"),
                      account},
                     token.toJson());
    if (stored.exitCode != 0)
        return QStringLiteral("secret-tool store failed: ") + QString::fromUtf8(stored.errors);
    return {};
}

QString StandInGoogleAccount::install(const QString &keychainService, bool expired)
{
    if (const QString problem = serve(); !problem.isEmpty())
        return problem;
    // The token a single-account install left in the keyring.
    return storeToken(keychainService, QStringLiteral("oauth"), expired);
}

QString StandInGoogleAccount::installConnected(const std::optional<QString> &keychainService)
{
    if (const QString problem = serve(); !problem.isEmpty())
        return problem;
    const QString folder = session_.configHome() + QStringLiteral("/kestrivane");
    QDir().mkpath(folder);
    QFile settings(folder + u'/' + BundleInfo::main().bundleIdentifier() + QStringLiteral(".json"));
    const QByteArray accounts = GoogleAccount::encodeList({{email, email, QStringLiteral("Emma")}});
    if (!settings.open(QIODevice::WriteOnly) ||
        settings.write(json(QJsonObject{{"googleAccounts", QJsonObject{{"data", QString::fromLatin1(accounts.toBase64())}}}})) < 0)
        return QStringLiteral("cannot write the settings file");
    settings.close();
    return keychainService ? storeToken(*keychainService, QStringLiteral("oauth:") + email, false) : QString();
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
