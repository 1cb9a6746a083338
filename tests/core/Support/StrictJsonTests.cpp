#include "Support/StrictJson.h"
#include "Support/Localization.h"

#include <gtest/gtest.h>

using namespace kestrivane;
using namespace kestrivane::json;

namespace {

// The optional string "s" of the document, or the decoding error's description.
QString readS(const QByteArray &data)
{
    try {
        return readDocument(data, [](const ObjectReader &r) { return r.optionalString(QLatin1String("s")).value_or(QStringLiteral("<absent>")); });
    } catch (const DecodingError &error) {
        return QStringLiteral("error: ") + error.localizedDescription();
    }
}

bool accepted(const QByteArray &data)
{
    return !readS(data).startsWith(QStringLiteral("error: "));
}

class StrictJsonTest : public ::testing::Test {
protected:
    void SetUp() override { L10n::configure(QStringLiteral("en")); }
    void TearDown() override { L10n::configure(std::nullopt); }
};

} // namespace

TEST_F(StrictJsonTest, AcceptsTheWholeGrammarAndSkipsWhatIsNotAskedFor)
{
    EXPECT_EQ(readS(R"( { "a" : [ 1, -0.5e+3, 0, 2E-7, true, false, null, {"x": [[]], "y": {}} ], "s" : "v" } )"), "v");
    EXPECT_EQ(readS("{\n\t\"s\":\r\n\"v\"}"), "v");
    EXPECT_EQ(readS(R"({"other": "x"})"), "<absent>");
    EXPECT_EQ(readS(R"({"s": null})"), "<absent>");
    // Of a key given twice the last counts.
    EXPECT_EQ(readS(R"({"s": "first", "s": "last"})"), "last");
}

TEST_F(StrictJsonTest, DecodesEscapesAndUtf8)
{
    EXPECT_EQ(readS(R"({"s": "a\"b\\c\/d\b\f\n\r\t"})"), QString::fromUtf8("a\"b\\c/d\b\f\n\r\t"));
    EXPECT_EQ(readS(R"({"s": "\u00e9\u65E5\ud83d\ude00"})"), QString::fromUtf8("é日😀"));
    EXPECT_EQ(readS("{\"s\": \"é日😀\"}"), QString::fromUtf8("é日😀"));
    EXPECT_EQ(readS(R"({"s": ""})"), "");
    // A key written with escapes is the same key.
    EXPECT_EQ(readS(R"({"\u0073": "escaped key"})"), "escaped key");
}

TEST_F(StrictJsonTest, RejectsWhatIsNotStrictJson)
{
    for (const char *bad : {
             "", " ", "{", "}", R"({"s": "v"} x)", R"({"s": "v"}{})", R"({"s": "v",})", R"({"a": [1,]})",
             R"({"a": [1 2]})", R"({s: "v"})", R"({'s': 'v'})", R"({"s" "v"})", R"({"a": 01})", R"({"a": 1.})",
             R"({"a": .5})", R"({"a": +1})", R"({"a": -})", R"({"a": 1e})", R"({"a": NaN})", R"({"a": tru})",
             R"({"a": True})", R"({"a": nul})", R"({"s": "unterminated})", R"({"s": "bad \x escape"})",
             R"({"s": "\u12G4"})", R"({"s": "\ud83d"})", R"({"s": "\ude00"})", R"({"s": "\ud83d\u0041"})",
             "{\"s\": \"tab\there\"}", "{\"s\": \"new\nline\"}", "{\"a\": 1} // comment",
         }) {
        EXPECT_FALSE(accepted(bad)) << bad;
    }
}

TEST_F(StrictJsonTest, RejectsInvalidUtf8AndAByteOrderMark)
{
    for (const char *bad : {
             "{\"s\": \"\xff\"}",             // never valid
             "{\"s\": \"\xc3\"}",             // cut short
             "{\"s\": \"\xc0\xaf\"}",         // overlong "/"
             "{\"s\": \"\xe0\x80\xaf\"}",     // overlong
             "{\"s\": \"\xed\xa0\x80\"}",     // surrogate
             "{\"s\": \"\xf4\x90\x80\x80\"}", // beyond U+10FFFF
             "{\"s\": \"\x80\"}",             // lone continuation
             "\xef\xbb\xbf{\"s\": \"v\"}",   // byte order mark
             "{\"s\xff\": \"v\"}",
         }) {
        EXPECT_FALSE(accepted(bad)) << QByteArray(bad).toHex().constData();
    }
    EXPECT_TRUE(accepted("{\"s\": \"\xf0\x9f\x98\x80 \xe2\x82\xac\"}"));
}

TEST_F(StrictJsonTest, DeepNestingFailsOrPassesWithoutRecursion)
{
    const qsizetype depth = 200'000;
    const QByteArray nested = "{\"a\": " + QByteArray(depth, '[') + QByteArray(depth, ']') + ", \"s\": \"deep\"}";
    EXPECT_EQ(readS(nested), "deep");
    EXPECT_FALSE(accepted("{\"a\": " + QByteArray(depth, '[') + "}"));
}

TEST_F(StrictJsonTest, MalformedInputNamesTheOffset)
{
    EXPECT_EQ(readS(R"({"s": tru})"), "error: The server's answer could not be read: malformed JSON at offset 6: unexpected character");
    EXPECT_EQ(readS(R"([])"), "error: The server's answer could not be read: expected a JSON object at the top level");
}
