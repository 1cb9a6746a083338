#include "Support/Appcast.h"

#include "Support/AppL10n.h"

#include <QXmlStreamReader>

#include <algorithm>

namespace kestrivane {

namespace {

AppcastItem readItem(QXmlStreamReader &xml)
{
    AppcastItem item;
    while (xml.readNextStartElement()) {
        const auto name = xml.name();
        if (name == u"version")
            item.version = xml.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
        else if (name == u"displayVersion")
            item.displayVersion = xml.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
        else if (name == u"link")
            item.link = QUrl(xml.readElementText(QXmlStreamReader::IncludeChildElements).trimmed(), QUrl::StrictMode);
        else
            xml.skipCurrentElement();
    }
    if (item.displayVersion.isEmpty())
        item.displayVersion = item.version;
    return item;
}

UpdateError malformed(const QString &reason)
{
    return UpdateError(AppL10n::format(QStringLiteral("update_error_malformed_feed"), reason));
}

// One version component: its leading number (as digits without leading zeros) and the rest.
struct Component {
    QString number;
    QString suffix;
};

Component component(const QString &text)
{
    qsizetype digits = 0;
    while (digits < text.size() && text[digits].isDigit() && text[digits].unicode() < 128)
        ++digits;
    QString number = text.left(digits);
    while (number.size() > 1 && number.front() == u'0')
        number.remove(0, 1);
    if (number.isEmpty())
        number = QStringLiteral("0");
    return {number, text.mid(digits)};
}

int sign(qsizetype value)
{
    return value < 0 ? -1 : (value > 0 ? 1 : 0);
}

} // namespace

QList<AppcastItem> parseAppcast(const QByteArray &document)
{
    QXmlStreamReader xml(document);
    QList<AppcastItem> items;
    bool root = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (!root) {
            if (xml.name() != u"rss")
                throw malformed(QStringLiteral("not an RSS document"));
            root = true;
            continue;
        }
        if (xml.name() == u"item") {
            AppcastItem item = readItem(xml);
            if (!item.version.isEmpty())
                items.append(std::move(item));
        }
    }
    if (xml.hasError())
        throw malformed(xml.errorString());
    if (!root)
        throw malformed(QStringLiteral("not an RSS document"));
    return items;
}

int compareVersions(const QString &a, const QString &b)
{
    const QStringList left = a.trimmed().split(u'.');
    const QStringList right = b.trimmed().split(u'.');
    for (qsizetype i = 0; i < std::max(left.size(), right.size()); ++i) {
        const Component x = component(i < left.size() ? left[i] : QString());
        const Component y = component(i < right.size() ? right[i] : QString());
        if (x.number.size() != y.number.size())
            return sign(x.number.size() - y.number.size());
        if (const int c = x.number.compare(y.number); c != 0)
            return sign(c);
        if (x.suffix == y.suffix)
            continue;
        if (x.suffix.isEmpty())
            return 1;
        if (y.suffix.isEmpty())
            return -1;
        return sign(x.suffix.compare(y.suffix));
    }
    return 0;
}

std::optional<AppcastItem> newestUpdate(const QList<AppcastItem> &items, const QString &currentVersion)
{
    std::optional<AppcastItem> newest;
    for (const AppcastItem &item : items) {
        if (compareVersions(item.version, currentVersion) <= 0)
            continue;
        if (!newest || compareVersions(item.version, newest->version) > 0)
            newest = item;
    }
    return newest;
}

} // namespace kestrivane
