#pragma once

#include "Support/Error.h"

#include <QByteArray>
#include <QLatin1String>
#include <QList>
#include <QString>

#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

namespace kestrivane::json {

// Where a value stands in its document, e.g. items[3].start.dateTime. A chain of links on the
// stack: each reader points at the link of its parent, so nothing is built unless reading fails.
struct Location {
    const Location *parent = nullptr;
    QLatin1String key;
    qsizetype index = -1;

    QString text() const;
};

enum class ValueType : quint8 { null, boolean, number, string, array, object };

// A JSON text (RFC 8259) checked in full and cut into tokens in one pass: strict grammar, UTF-8
// only, no byte order mark, no lone surrogate escapes, nothing but white space after the value.
// Values are converted only when a reader asks for them. Throws DecodingError when malformed.
class Document {
public:
    explicit Document(QByteArray data);

    struct Token {
        quint32 offset;  // first byte of the value (for strings: after the opening quote)
        quint32 length;  // strings: raw bytes between the quotes; scalars: their text
        quint32 next;    // index of the token after this value and everything inside it
        ValueType type;
        bool escaped;    // a string holding backslash escapes
        bool truth;      // the value of a boolean
    };

    const Token &token(quint32 index) const { return tokens_[index]; }
    QString string(const Token &token) const;
    // Whether a string token equals `text` (an ASCII key).
    bool stringEquals(const Token &token, QLatin1String text) const;

private:
    void tokenize();

    QByteArray data_;
    std::vector<Token> tokens_;
};

// Reads one JSON object strictly: a required key must be present and not null; an optional key may
// be missing or null (both read as absent); a value of the wrong JSON type fails, optional or not.
// Keys not asked for are ignored; of a key given twice the last counts. Every failure throws
// DecodingError naming the place and the fault.
//
// Nested readers live only inside the callback that receives them, so their locations stay valid.
class ObjectReader {
public:
    ObjectReader(const Document &document, quint32 object, const Location &location)
        : document_(document), object_(object), location_(location)
    {
    }

    QString string(QLatin1String key) const;
    std::optional<QString> optionalString(QLatin1String key) const;
    std::optional<bool> optionalBool(QLatin1String key) const;

    // `read(const ObjectReader &)` on the object at `key`.
    template<typename Read>
    auto object(QLatin1String key, Read &&read) const
    {
        const quint32 value = expect(required(key), ValueType::object, key);
        const Location here{&location_, key};
        return read(ObjectReader(document_, value, here));
    }

    template<typename Read>
    auto optionalObject(QLatin1String key, Read &&read) const
        -> std::optional<std::invoke_result_t<Read, const ObjectReader &>>
    {
        const auto value = optional(key);
        if (!value)
            return std::nullopt;
        expect(*value, ValueType::object, key);
        const Location here{&location_, key};
        return read(ObjectReader(document_, *value, here));
    }

    // `read(const ObjectReader &)` on each element of the array of objects at `key`, in order.
    template<typename Read>
    auto objectArray(QLatin1String key, Read &&read) const
    {
        return elements(key, expect(required(key), ValueType::array, key), std::forward<Read>(read));
    }

    template<typename Read>
    auto optionalObjectArray(QLatin1String key, Read &&read) const
        -> std::optional<QList<std::invoke_result_t<Read, const ObjectReader &>>>
    {
        const auto value = optional(key);
        if (!value)
            return std::nullopt;
        return elements(key, expect(*value, ValueType::array, key), std::forward<Read>(read));
    }

    const Location &location() const { return location_; }

private:
    // The token of the last member named `key`, if any.
    std::optional<quint32> member(QLatin1String key) const;
    // Present and not null, else nullopt.
    std::optional<quint32> optional(QLatin1String key) const;
    quint32 required(QLatin1String key) const;
    quint32 expect(quint32 value, ValueType type, QLatin1String key) const;

    template<typename Read>
    auto elements(QLatin1String key, quint32 array, Read &&read) const
    {
        using Element = std::invoke_result_t<Read, const ObjectReader &>;
        const Location arrayLocation{&location_, key};
        QList<Element> result;
        const quint32 end = document_.token(array).next;
        for (quint32 i = array + 1, n = 0; i < end; i = document_.token(i).next, ++n) {
            const Location here{&arrayLocation, {}, n};
            if (document_.token(i).type != ValueType::object)
                throwTypeMismatch(here, ValueType::object, document_.token(i).type);
            result.append(read(ObjectReader(document_, i, here)));
        }
        return result;
    }

    [[noreturn]] static void throwTypeMismatch(const Location &where, ValueType expected, ValueType found);

    const Document &document_;
    quint32 object_;
    const Location &location_;
};

// The DecodingError for a fault at `where`: "The server's answer could not be read: " and
// "<place>: <problem>", or the problem alone at the top.
DecodingError decodingError(const Location &where, const QString &problem);

// Reads `data` as a JSON document whose top level is an object and hands its reader to `read`.
// Malformed JSON or another top-level value throws DecodingError.
template<typename Read>
auto readDocument(const QByteArray &data, Read &&read)
{
    const Document document(data);
    const Location root;
    if (document.token(0).type != ValueType::object)
        throw decodingError(root, QStringLiteral("expected a JSON object at the top level"));
    return read(ObjectReader(document, 0, root));
}

} // namespace kestrivane::json
