#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>

namespace kestrivane {

// The OAuth configuration file "OAuthConfig.plist": an XML property list whose root dictionary
// holds the client identifier and secret as texts.
namespace OAuthConfigFile {

inline const QString fileName = QStringLiteral("OAuthConfig.plist");
inline const QString clientIDKey = QStringLiteral("GOOGLE_OAUTH_CLIENT_ID");
inline const QString clientSecretKey = QStringLiteral("GOOGLE_OAUTH_CLIENT_SECRET");

// The entries of an XML property list whose root is a dictionary of texts only; nullopt for
// anything else (not XML, another root, a value that is not <string>, a key without a value).
std::optional<QHash<QString, QString>> parseStringDictionary(const QByteArray &xml);

// The entries of the first of `files` that exists; nullopt when none exists or that one cannot
// be read or parsed (later files are not tried then).
std::optional<QHash<QString, QString>> load(const QStringList &files);

} // namespace OAuthConfigFile

} // namespace kestrivane
