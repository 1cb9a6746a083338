#pragma once

#include <QString>
#include <QVariantMap>

namespace kestrivane {

// The application's bundle information: typed entries set by the build (identifier, versions,
// build channel), read at run time from the compiled-in ":/bundle/Info.json".
class BundleInfo {
public:
    static inline const QString identifierKey = QStringLiteral("CFBundleIdentifier");
    static inline const QString shortVersionKey = QStringLiteral("CFBundleShortVersionString");
    static inline const QString buildNumberKey = QStringLiteral("CFBundleVersion");

    BundleInfo() = default;
    explicit BundleInfo(QVariantMap entries) : entries_(std::move(entries)) {}

    // The running application's information; read once.
    static const BundleInfo &main();

    // An absent entry gives an invalid QVariant; present entries keep their JSON type.
    QVariant value(const QString &key) const { return entries_.value(key); }
    QString text(const QString &key) const;

    QString bundleIdentifier() const { return text(identifierKey); }
    QString shortVersion() const { return text(shortVersionKey); }
    QString buildNumber() const { return text(buildNumberKey); }

    // Root of the bundle's resources (string tables live below it).
    static inline const QString resourceRoot = QStringLiteral(":/bundle");

private:
    QVariantMap entries_;
};

} // namespace kestrivane
