#pragma once

#include "Support/Error.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>

#include <optional>

namespace kestrivane {

// One release in the update feed.
struct AppcastItem {
    QString version;        // compared with the running version
    QString displayVersion; // shown to the user; the version when the feed gives none
    QUrl link;              // the release's download page

    friend bool operator==(const AppcastItem &, const AppcastItem &) = default;
};

// A failed update check; the description is localised.
class UpdateError : public Error {
public:
    using Error::Error;
};

// The items of an appcast: an RSS document whose <item> elements carry <version>,
// <displayVersion> and <link> (in any namespace). Items without a version are skipped. Throws
// UpdateError when the document is not well-formed XML or not an RSS document.
QList<AppcastItem> parseAppcast(const QByteArray &document);

// Compares dotted versions component by component ("1.10" > "1.9", "1.2" == "1.2.0"); within a
// component the number counts first, and a bare number is newer than one with a suffix
// ("2.0" > "2.0b1"). Negative, zero or positive like a three-way comparison.
int compareVersions(const QString &a, const QString &b);

// The newest item whose version is newer than `currentVersion`; none when there is none.
std::optional<AppcastItem> newestUpdate(const QList<AppcastItem> &items, const QString &currentVersion);

} // namespace kestrivane
