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
// anything else (not XML, another root, a value that is not <string>, a key without a value),
// with what is wrong in `fault` when one is given.
std::optional<QHash<QString, QString>> parseStringDictionary(const QByteArray &xml, QString *fault = nullptr);

struct Loaded {
    // The file read: the first of the given files that exists; empty when none does.
    QString file;
    // Its entries; nullopt when it cannot be read or parsed (later files are not tried then).
    std::optional<QHash<QString, QString>> entries;
    // Why it cannot be used, when it cannot.
    QString fault;
};

Loaded load(const QStringList &files);

} // namespace OAuthConfigFile

} // namespace kestrivane
