#include "Services/OAuthConfigFile.h"

#include <QFile>
#include <QXmlStreamReader>

namespace kestrivane::OAuthConfigFile {

namespace {

// Reads the text of the element just started; false when it holds anything but text.
bool readText(QXmlStreamReader &reader, QString &text)
{
    text.clear();
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::Characters:
        case QXmlStreamReader::EntityReference:
            text += reader.text();
            break;
        case QXmlStreamReader::Comment:
        case QXmlStreamReader::ProcessingInstruction:
            break;
        case QXmlStreamReader::EndElement:
            return true;
        default:
            return false;
        }
    }
    return false;
}

// Moves to the next start or end element, skipping white space, comments and processing
// instructions; false at anything else.
bool nextElement(QXmlStreamReader &reader)
{
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement:
        case QXmlStreamReader::EndElement:
            return true;
        case QXmlStreamReader::Characters:
            if (!reader.isWhitespace())
                return false;
            break;
        case QXmlStreamReader::Comment:
        case QXmlStreamReader::ProcessingInstruction:
        case QXmlStreamReader::DTD:
        case QXmlStreamReader::StartDocument:
            break;
        default:
            return false;
        }
    }
    return false;
}

} // namespace

std::optional<QHash<QString, QString>> parseStringDictionary(const QByteArray &xml, QString *fault)
{
    QXmlStreamReader reader(xml);
    const auto fail = [&](const QString &what) -> std::optional<QHash<QString, QString>> {
        if (fault) {
            *fault = reader.hasError() ? QStringLiteral("not well-formed XML (line %1: %2)").arg(reader.lineNumber()).arg(reader.errorString())
                                       : what;
        }
        return std::nullopt;
    };
    const auto found = [&] {
        if (reader.atEnd())
            return QStringLiteral("the end of the file");
        if (reader.isStartElement())
            return QStringLiteral("<%1>").arg(reader.name());
        if (reader.isEndElement())
            return QStringLiteral("</%1>").arg(reader.name());
        return QStringLiteral("text");
    };

    if (!nextElement(reader) || !reader.isStartElement() || reader.name() != u"plist")
        return fail(QStringLiteral("not a property list (it begins with %1, not <plist>)").arg(found()));
    if (!nextElement(reader) || !reader.isStartElement() || reader.name() != u"dict")
        return fail(QStringLiteral("wrong type: the property list holds %1, not a <dict>").arg(found()));

    QHash<QString, QString> entries;
    for (;;) {
        if (!nextElement(reader))
            return fail(QStringLiteral("the <dict> holds %1 where a <key> belongs").arg(found()));
        if (reader.isEndElement())
            break; // </dict>
        if (reader.name() != u"key")
            return fail(QStringLiteral("the <dict> holds %1 where a <key> belongs").arg(found()));
        QString key;
        if (!readText(reader, key))
            return fail(QStringLiteral("a <key> holds more than text"));
        if (!nextElement(reader) || !reader.isStartElement())
            return fail(QStringLiteral("missing value: %1 has no value").arg(key));
        if (reader.name() != u"string")
            return fail(QStringLiteral("wrong type: the value of %1 is %2, not a <string>").arg(key, found()));
        QString value;
        if (!readText(reader, value))
            return fail(QStringLiteral("wrong type: the <string> of %1 holds more than text").arg(key));
        entries.insert(key, value);
    }
    // </plist>, then nothing but the end of the document.
    if (!nextElement(reader) || !reader.isEndElement() || reader.name() != u"plist")
        return fail(QStringLiteral("the property list holds more than one <dict>"));
    while (!reader.atEnd()) {
        const auto token = reader.readNext();
        if (token == QXmlStreamReader::EndDocument)
            break;
        if (token == QXmlStreamReader::Characters && reader.isWhitespace())
            continue;
        if (token == QXmlStreamReader::Comment || token == QXmlStreamReader::ProcessingInstruction)
            continue;
        return fail(QStringLiteral("something follows </plist>"));
    }
    if (reader.hasError())
        return fail(QString());
    return entries;
}

Loaded load(const QStringList &files)
{
    for (const QString &path : files) {
        QFile file(path);
        if (!file.exists())
            continue;
        Loaded loaded;
        loaded.file = path;
        if (!file.open(QIODevice::ReadOnly)) {
            loaded.fault = QStringLiteral("cannot be read (%1)").arg(file.errorString());
            return loaded;
        }
        loaded.entries = parseStringDictionary(file.readAll(), &loaded.fault);
        return loaded;
    }
    return {};
}

} // namespace kestrivane::OAuthConfigFile
