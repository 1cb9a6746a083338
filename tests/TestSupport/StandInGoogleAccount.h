#pragma once

#include "TestSupport/FakeGoogleServer.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include <optional>

namespace kestrivane::test {

class DesktopSession;

// A single-account install against the stand-in Google services: the OAuth client file in the
// session's data folder, the account's token as the older single-account keyring item, every
// Google service of the session pointed at the stand-in, and the account's profile and one
// calendar "emma@example.com" whose meetings the test sets.
class StandInGoogleAccount {
public:
    static inline const QString email = QStringLiteral("emma@example.com");

    StandInGoogleAccount(FakeGoogleServer &server, DesktopSession &session);

    // Needs the session's keyring. An expired token is refreshed at the first sync with a refresh
    // token the stand-in does not know, so Google asks for a new sign-in (invalid_grant). Empty
    // when done, else why not.
    QString install(const QString &keychainService, bool expired = false);
    // The account as connected: listed in the settings file of the session, and, with a keychain
    // service, its token in its own keyring item (without one the keyring is not touched).
    QString installConnected(const std::optional<QString> &keychainService);

    // The calendar's meetings: objects of meeting().
    void setMeetings(const QJsonArray &items);
    // A 30-minute meeting with its own Meet link.
    static QJsonObject meeting(const QString &id, const QString &title, const QDateTime &start, const QString &code);

    FakeGoogleOAuth oauth;
    FakeGoogleCalendar calendar;

private:
    // The OAuth client file, the stand-in's address and the account's answers.
    QString serve();
    QString storeToken(const QString &keychainService, const QString &account, bool expired);

    FakeGoogleServer &server_;
    DesktopSession &session_;
};

} // namespace kestrivane::test
