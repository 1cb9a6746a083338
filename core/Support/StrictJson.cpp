#include "Support/StrictJson.h"

#include "Support/Localization.h"

#include <cstring>
#include <limits>

namespace kestrivane::json {

namespace {

QString typeName(ValueType type)
{
    switch (type) {
    case ValueType::null:
        return QStringLiteral("null");
    case ValueType::boolean:
        return QStringLiteral("a boolean");
    case ValueType::number:
        return QStringLiteral("a number");
    case ValueType::string:
        return QStringLiteral("a string");
    case ValueType::array:
        return QStringLiteral("an array");
    case ValueType::object:
        return QStringLiteral("an object");
    }
    return {};
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The four hexadecimal digits at `p` as a UTF-16 code unit, or -1.
int hex4(const char *p)
{
    int value = 0;
    for (int i = 0; i < 4; ++i) {
        const int digit = hexValue(p[i]);
        if (digit < 0)
            return -1;
        value = value * 16 + digit;
    }
    return value;
}

bool isHighSurrogate(int unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool isLowSurrogate(int unit)
{
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

class Tokenizer {
public:
    Tokenizer(const QByteArray &data, std::vector<Document::Token> &tokens)
        : begin_(data.constData()), p_(begin_), end_(begin_ + data.size()), tokens_(tokens)
    {
    }

    void run()
    {
        enum class State { value, arrayFirstValue, objectFirstKey, objectKey, afterValue };
        State state = State::value;
        std::vector<quint32> open;
        while (true) {
            skipSpace();
            switch (state) {
            case State::value:
                if (p_ == end_)
                    fail("unexpected end of data");
                switch (*p_) {
                case '{':
                    open.push_back(push(ValueType::object, 0));
                    ++p_;
                    state = State::objectFirstKey;
                    continue;
                case '[':
                    open.push_back(push(ValueType::array, 0));
                    ++p_;
                    state = State::arrayFirstValue;
                    continue;
                case '"':
                    string();
                    break;
                case 't':
                    literal("true", ValueType::boolean, true);
                    break;
                case 'f':
                    literal("false", ValueType::boolean, false);
                    break;
                case 'n':
                    literal("null", ValueType::null, false);
                    break;
                default:
                    number();
                    break;
                }
                state = State::afterValue;
                continue;
            case State::arrayFirstValue:
                if (p_ != end_ && *p_ == ']') {
                    close(open);
                    state = State::afterValue;
                } else {
                    state = State::value;
                }
                continue;
            case State::objectFirstKey:
                if (p_ != end_ && *p_ == '}') {
                    close(open);
                    state = State::afterValue;
                    continue;
                }
                [[fallthrough]];
            case State::objectKey:
                if (p_ == end_ || *p_ != '"')
                    fail("expected a key string");
                string();
                skipSpace();
                if (p_ == end_ || *p_ != ':')
                    fail("expected ':' after a key");
                ++p_;
                state = State::value;
                continue;
            case State::afterValue:
                if (open.empty()) {
                    if (p_ != end_)
                        fail("unexpected characters after the value");
                    return;
                }
                if (p_ == end_)
                    fail("unexpected end of data");
                const bool inObject = tokens_[open.back()].type == ValueType::object;
                if (*p_ == ',') {
                    ++p_;
                    state = inObject ? State::objectKey : State::value;
                } else if (*p_ == (inObject ? '}' : ']')) {
                    close(open);
                } else {
                    fail(inObject ? "expected ',' or '}'" : "expected ',' or ']'");
                }
                continue;
            }
        }
    }

private:
    [[noreturn]] void fail(const char *problem) const
    {
        throw decodingError(Location{}, QStringLiteral("malformed JSON at offset %1: %2").arg(p_ - begin_).arg(QLatin1String(problem)));
    }

    quint32 offset(const char *at) const { return static_cast<quint32>(at - begin_); }

    quint32 push(ValueType type, quint32 length, const char *at = nullptr, bool escaped = false, bool truth = false)
    {
        const auto index = static_cast<quint32>(tokens_.size());
        tokens_.push_back({offset(at ? at : p_), length, index + 1, type, escaped, truth});
        return index;
    }

    void close(std::vector<quint32> &open)
    {
        tokens_[open.back()].next = static_cast<quint32>(tokens_.size());
        open.pop_back();
        ++p_;
    }

    void skipSpace()
    {
        while (p_ != end_ && (*p_ == ' ' || *p_ == '\n' || *p_ == '\r' || *p_ == '\t'))
            ++p_;
    }

    void literal(const char *text, ValueType type, bool truth)
    {
        const size_t length = std::strlen(text);
        if (static_cast<size_t>(end_ - p_) < length || std::memcmp(p_, text, length) != 0)
            fail("unexpected character");
        push(type, static_cast<quint32>(length), p_, false, truth);
        p_ += length;
    }

    bool digitAt(const char *at) const { return at != end_ && *at >= '0' && *at <= '9'; }

    void number()
    {
        const char *start = p_;
        if (*p_ == '-')
            ++p_;
        if (!digitAt(p_))
            fail(p_ == start ? "unexpected character" : "invalid number");
        if (*p_ == '0') {
            ++p_;
        } else {
            while (digitAt(p_))
                ++p_;
        }
        if (p_ != end_ && *p_ == '.') {
            ++p_;
            if (!digitAt(p_))
                fail("invalid number");
            while (digitAt(p_))
                ++p_;
        }
        if (p_ != end_ && (*p_ == 'e' || *p_ == 'E')) {
            ++p_;
            if (p_ != end_ && (*p_ == '+' || *p_ == '-'))
                ++p_;
            if (!digitAt(p_))
                fail("invalid number");
            while (digitAt(p_))
                ++p_;
        }
        push(ValueType::number, offset(p_) - offset(start), start);
    }

    void string()
    {
        ++p_;
        const char *start = p_;
        bool escaped = false;
        while (true) {
            if (p_ == end_)
                fail("unterminated string");
            const auto c = static_cast<unsigned char>(*p_);
            if (c == '"')
                break;
            if (c < 0x20)
                fail("control character in a string");
            if (c == '\\') {
                escaped = true;
                escape();
            } else if (c < 0x80) {
                ++p_;
            } else {
                utf8Sequence();
            }
        }
        push(ValueType::string, offset(p_) - offset(start), start, escaped);
        ++p_;
    }

    void escape()
    {
        ++p_;
        if (p_ == end_)
            fail("unterminated string");
        switch (*p_) {
        case '"':
        case '\\':
        case '/':
        case 'b':
        case 'f':
        case 'n':
        case 'r':
        case 't':
            ++p_;
            return;
        case 'u':
            break;
        default:
            fail("invalid escape");
        }
        const int unit = unicodeEscape();
        if (isLowSurrogate(unit))
            fail("lone surrogate escape");
        if (!isHighSurrogate(unit))
            return;
        if (end_ - p_ < 2 || p_[0] != '\\' || p_[1] != 'u')
            fail("lone surrogate escape");
        ++p_;
        if (!isLowSurrogate(unicodeEscape()))
            fail("lone surrogate escape");
    }

    // At the "u" of \uXXXX: reads the code unit and moves past it.
    int unicodeEscape()
    {
        if (end_ - p_ < 5)
            fail("invalid escape");
        const int unit = hex4(p_ + 1);
        if (unit < 0)
            fail("invalid escape");
        p_ += 5;
        return unit;
    }

    void utf8Sequence()
    {
        const auto byte = [this](qsizetype i) { return static_cast<unsigned char>(p_[i]); };
        const unsigned char lead = byte(0);
        int length = 0;
        unsigned char low = 0x80, high = 0xBF; // allowed range of the second byte
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            if (lead == 0xE0)
                low = 0xA0;
            else if (lead == 0xED)
                high = 0x9F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            if (lead == 0xF0)
                low = 0x90;
            else if (lead == 0xF4)
                high = 0x8F;
        } else {
            fail("invalid UTF-8");
        }
        if (end_ - p_ < length || byte(1) < low || byte(1) > high)
            fail("invalid UTF-8");
        for (int i = 2; i < length; ++i) {
            if ((byte(i) & 0xC0) != 0x80)
                fail("invalid UTF-8");
        }
        p_ += length;
    }

    const char *begin_;
    const char *p_;
    const char *end_;
    std::vector<Document::Token> &tokens_;
};

} // namespace

QString Location::text() const
{
    QString result;
    if (parent)
        result = parent->text();
    if (index >= 0)
        return result + u'[' + QString::number(index) + u']';
    if (key.isEmpty())
        return result;
    if (!result.isEmpty())
        result += u'.';
    return result + key;
}

DecodingError decodingError(const Location &where, const QString &problem)
{
    const QString place = where.text();
    const QString detail = place.isEmpty() ? problem : u'"' + place + QStringLiteral("\": ") + problem;
    return DecodingError(L10n::format(QStringLiteral("error_response_unreadable"), detail));
}

Document::Document(QByteArray data) : data_(std::move(data))
{
    if (data_.size() >= static_cast<qsizetype>(std::numeric_limits<quint32>::max()))
        throw decodingError(Location{}, QStringLiteral("document too large"));
    // Roughly one token per 16 bytes of typical API documents.
    tokens_.reserve(static_cast<size_t>(data_.size() / 16 + 1));
    Tokenizer(data_, tokens_).run();
}

QString Document::string(const Token &token) const
{
    const char *p = data_.constData() + token.offset;
    const char *end = p + token.length;
    if (!token.escaped)
        return QString::fromUtf8(p, token.length);
    QString result;
    result.reserve(token.length);
    while (p != end) {
        const char *run = p;
        while (p != end && *p != '\\')
            ++p;
        result += QString::fromUtf8(run, p - run);
        if (p == end)
            break;
        // Escapes were checked by the tokenizer.
        const char kind = p[1];
        p += 2;
        switch (kind) {
        case 'b':
            result += u'\b';
            break;
        case 'f':
            result += u'\f';
            break;
        case 'n':
            result += u'\n';
            break;
        case 'r':
            result += u'\r';
            break;
        case 't':
            result += u'\t';
            break;
        case 'u':
            result += QChar(static_cast<char16_t>(hex4(p)));
            p += 4;
            break;
        default: // " \ /
            result += QLatin1Char(kind);
            break;
        }
    }
    return result;
}

bool Document::stringEquals(const Token &token, QLatin1String text) const
{
    if (token.escaped)
        return string(token) == text;
    return token.length == static_cast<quint32>(text.size())
        && std::memcmp(data_.constData() + token.offset, text.data(), token.length) == 0;
}

std::optional<quint32> ObjectReader::member(QLatin1String key) const
{
    std::optional<quint32> found;
    const quint32 end = document_.token(object_).next;
    for (quint32 i = object_ + 1; i < end; i = document_.token(i + 1).next) {
        if (document_.stringEquals(document_.token(i), key))
            found = i + 1;
    }
    return found;
}

std::optional<quint32> ObjectReader::optional(QLatin1String key) const
{
    const auto value = member(key);
    if (!value || document_.token(*value).type == ValueType::null)
        return std::nullopt;
    return value;
}

quint32 ObjectReader::required(QLatin1String key) const
{
    const auto value = member(key);
    if (!value || document_.token(*value).type == ValueType::null) {
        const Location here{&location_, key};
        throw decodingError(here, value ? QStringLiteral("required value is null") : QStringLiteral("required key is missing"));
    }
    return *value;
}

quint32 ObjectReader::expect(quint32 value, ValueType type, QLatin1String key) const
{
    if (document_.token(value).type != type) {
        const Location here{&location_, key};
        throwTypeMismatch(here, type, document_.token(value).type);
    }
    return value;
}

void ObjectReader::throwTypeMismatch(const Location &where, ValueType expected, ValueType found)
{
    throw decodingError(where, QStringLiteral("expected %1, found %2").arg(typeName(expected), typeName(found)));
}

QString ObjectReader::string(QLatin1String key) const
{
    return document_.string(document_.token(expect(required(key), ValueType::string, key)));
}

std::optional<QString> ObjectReader::optionalString(QLatin1String key) const
{
    const auto value = optional(key);
    if (!value)
        return std::nullopt;
    return document_.string(document_.token(expect(*value, ValueType::string, key)));
}

std::optional<bool> ObjectReader::optionalBool(QLatin1String key) const
{
    const auto value = optional(key);
    if (!value)
        return std::nullopt;
    return document_.token(expect(*value, ValueType::boolean, key)).truth;
}

} // namespace kestrivane::json
