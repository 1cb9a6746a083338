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

std::optional<QHash<QString, QString>> parseStringDictionary(const QByteArray &xml)
{
    QXmlStreamReader reader(xml);
    if (!nextElement(reader) || !reader.isStartElement() || reader.name() != u"plist")
        return std::nullopt;
    if (!nextElement(reader) || !reader.isStartElement() || reader.name() != u"dict")
        return std::nullopt;

    QHash<QString, QString> entries;
    for (;;) {
        if (!nextElement(reader))
            return std::nullopt;
        if (reader.isEndElement())
            break; // </dict>
        if (reader.name() != u"key")
            return std::nullopt;
        QString key;
        if (!readText(reader, key))
            return std::nullopt;
        if (!nextElement(reader) || !reader.isStartElement() || reader.name() != u"string")
            return std::nullopt;
        QString value;
        if (!readText(reader, value))
            return std::nullopt;
        entries.insert(key, value);
    }
    // </plist>, then nothing but the end of the document.
    if (!nextElement(reader) || !reader.isEndElement() || reader.name() != u"plist")
        return std::nullopt;
    while (!reader.atEnd()) {
        const auto token = reader.readNext();
        if (token == QXmlStreamReader::EndDocument)
            break;
        if (token == QXmlStreamReader::Characters && reader.isWhitespace())
            continue;
        if (token == QXmlStreamReader::Comment || token == QXmlStreamReader::ProcessingInstruction)
            continue;
        return std::nullopt;
    }
    if (reader.hasError())
        return std::nullopt;
    return entries;
}

std::optional<QHash<QString, QString>> load(const QStringList &files)
{
    for (const QString &path : files) {
        QFile file(path);
        if (!file.exists())
            continue;
        if (!file.open(QIODevice::ReadOnly))
            return std::nullopt;
        return parseStringDictionary(file.readAll());
    }
    return std::nullopt;
}

} // namespace kestrivane::OAuthConfigFile
