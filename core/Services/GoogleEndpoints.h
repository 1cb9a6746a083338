#pragma once

#include <QString>
#include <QUrl>

namespace kestrivane {

// Where the Google services live. Defaults are Google's real hosts; tests point the clients at a
// stand-in on 127.0.0.1 by passing another value.
struct GoogleEndpoints {
    // Authorisation endpoint host ("/o/oauth2/v2/auth").
    QUrl accountsBase = QUrl(QStringLiteral("https://accounts.google.com"));
    // Token endpoint host ("/token").
    QUrl oauthTokenBase = QUrl(QStringLiteral("https://oauth2.googleapis.com"));
    // Calendar API and user-info host.
    QUrl apiBase = QUrl(QStringLiteral("https://www.googleapis.com"));

    static const GoogleEndpoints &google();

    QUrl authorizationURL() const { return resolved(accountsBase, QStringLiteral("/o/oauth2/v2/auth")); }
    QUrl tokenURL() const { return resolved(oauthTokenBase, QStringLiteral("/token")); }
    QUrl calendarListURL() const { return resolved(apiBase, QStringLiteral("/calendar/v3/users/me/calendarList")); }
    QUrl userInfoURL() const { return resolved(apiBase, QStringLiteral("/oauth2/v2/userinfo")); }
    // The API host with `path` (already percent-encoded where needed).
    QUrl apiURL(const QString &encodedPath) const { return resolved(apiBase, encodedPath); }

    friend bool operator==(const GoogleEndpoints &, const GoogleEndpoints &) = default;

private:
    static QUrl resolved(const QUrl &base, const QString &encodedPath);
};

// Texts matched or linked as they are, whatever endpoints are in use.
namespace GoogleHosts {
// The Google Meet host searched for in links, locations and descriptions.
inline const QString meet = QStringLiteral("meet.google.com");
// The domain after "#holiday@" in holiday calendar identifiers.
inline const QString groupCalendarDomain = QStringLiteral("group.v.calendar.google.com");
// The host of scope identifiers.
inline const QString api = QStringLiteral("www.googleapis.com");
// The account chooser that wraps join links.
inline const QString accountChooserURL = QStringLiteral("https://accounts.google.com/AccountChooser");
} // namespace GoogleHosts

} // namespace kestrivane
