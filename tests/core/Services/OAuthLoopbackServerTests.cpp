#include "Services/GoogleOAuthClient.h"
#include "Services/OAuthLoopbackServer.h"
#include "Support/Localization.h"
#include "TestSupport/Coroutines.h"

#include <QHostAddress>
#include <QNetworkInterface>
#include <QTcpSocket>

#include <gtest/gtest.h>

using namespace kestrivane;
using namespace kestrivane::test;
using namespace std::chrono_literals;
using Callback = OAuthLoopbackServer::Callback;

namespace {

struct RawExchange {
    bool connected = false;
    QAbstractSocket::SocketError error = QAbstractSocket::UnknownSocketError;
    QByteArray reply;
    bool closedByServer = false;
};

// Connects to `port` on `address`, sends `pieces` with `pause` between them and collects what
// comes back until the server closes the connection.
RawExchange exchange(quint16 port, const QList<QByteArray> &pieces, std::chrono::milliseconds pause = 0ms,
                     const QHostAddress &address = QHostAddress(QHostAddress::LocalHost))
{
    RawExchange result;
    QTcpSocket socket;
    bool failed = false;
    QObject::connect(&socket, &QTcpSocket::readyRead, [&] { result.reply += socket.readAll(); });
    QObject::connect(&socket, &QTcpSocket::disconnected, [&] { result.closedByServer = true; });
    QObject::connect(&socket, &QTcpSocket::errorOccurred, [&](QAbstractSocket::SocketError error) {
        result.error = error;
        failed = error != QAbstractSocket::RemoteHostClosedError;
    });
    socket.connectToHost(address, port);
    waitUntil([&] { return socket.state() == QAbstractSocket::ConnectedState || failed; }, 5s);
    result.connected = socket.state() == QAbstractSocket::ConnectedState;
    if (!result.connected)
        return result;
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        if (i > 0 && pause > 0ms)
            spin(pause);
        socket.write(pieces[i]);
        socket.flush();
    }
    waitUntil([&] { return result.closedByServer || failed; }, 5s);
    result.reply += socket.readAll();
    return result;
}

QByteArray get(const QByteArray &target)
{
    return "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nUser-Agent: test\r\nAccept: text/html\r\n\r\n";
}

class OAuthLoopbackServerTest : public ::testing::Test {
protected:
    void SetUp() override { server.start(); }
    void TearDown() override { L10n::configure(std::nullopt); }

    Callback callback() { return runTask(server.waitForCallback(5s)); }

    OAuthLoopbackServer server;
};

} // namespace

TEST(OAuthLoopbackServerLifecycleTest, ListensOnTheLoopbackPortOfItsRedirectURIUntilDestroyed)
{
    const int before = OAuthLoopbackServer::listeningCount();
    quint16 port = 0;
    {
        OAuthLoopbackServer server;
        EXPECT_TRUE(server.redirectURI().isEmpty());
        server.start();
        port = server.port();
        ASSERT_NE(port, 0);
        EXPECT_EQ(server.redirectURI(), QStringLiteral("http://127.0.0.1:%1/oauth2callback").arg(port));
        EXPECT_TRUE(server.isListening());
        EXPECT_EQ(OAuthLoopbackServer::listeningCount(), before + 1);
    }
    EXPECT_EQ(OAuthLoopbackServer::listeningCount(), before);
    EXPECT_FALSE(exchange(port, {get("/oauth2callback")}).connected);
}

TEST_F(OAuthLoopbackServerTest, RepliesWithTheExactPageInJapaneseAndDecodesTheQuery)
{
    L10n::configure(QStringLiteral("ja"));
    const RawExchange result =
        exchange(server.port(), {get("/oauth2callback?code=4%2F0A+b%20c&state=s~1&code=second&scope=x")});

    const QString message = L10n::text(QStringLiteral("oauth_callback_success"));
    ASSERT_EQ(message, QString::fromUtf8("このタブを閉じて Kestrivane に戻ってください。"));
    const QByteArray page = OAuthLoopbackServer::successHTML(message).toUtf8();
    EXPECT_EQ(page.size(), 2417 + message.toUtf8().size() + QByteArray("</p>\n  </main>\n</body>\n</html>").size());
    const QByteArray expected = "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: "
        + QByteArray::number(page.size()) + "\r\nConnection: close\r\n\r\n" + page;
    EXPECT_EQ(result.reply, expected);
    EXPECT_TRUE(result.closedByServer);
    EXPECT_TRUE(page.contains(message.toUtf8()));

    // "+" stays a plus sign, %2F and %20 are decoded, the first "code" wins.
    EXPECT_EQ(callback(), (Callback{QStringLiteral("4/0A+b c"), QStringLiteral("s~1")}));
}

TEST_F(OAuthLoopbackServerTest, SecondConnectionAfterTheHandledRequestIsRefused)
{
    const int listening = OAuthLoopbackServer::listeningCount();
    ASSERT_FALSE(exchange(server.port(), {get("/oauth2callback?code=a&state=b")}).reply.isEmpty());
    EXPECT_FALSE(server.isListening());
    EXPECT_EQ(OAuthLoopbackServer::listeningCount(), listening - 1);
    const RawExchange second = exchange(server.port(), {get("/oauth2callback?code=other&state=b")});
    EXPECT_FALSE(second.connected);
    EXPECT_EQ(second.error, QAbstractSocket::ConnectionRefusedError);
    EXPECT_EQ(callback(), (Callback{QStringLiteral("a"), QStringLiteral("b")}));
}

TEST_F(OAuthLoopbackServerTest, SlowClientSendingTheRequestLineInPiecesIsRead)
{
    const RawExchange result =
        exchange(server.port(), {"GET /oauth2cal", "lback?code=slow&sta", "te=ok HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"}, 300ms);
    EXPECT_TRUE(result.reply.startsWith("HTTP/1.1 200 OK\r\n"));
    EXPECT_EQ(callback(), (Callback{QStringLiteral("slow"), QStringLiteral("ok")}));
}

TEST_F(OAuthLoopbackServerTest, RequestWithoutHeaderEndIsTakenAfterTheIdleTimeOut)
{
    const RawExchange result = exchange(server.port(), {"GET /oauth2callback?code=c&state=s HTTP/1.1\r\n"});
    EXPECT_TRUE(result.reply.startsWith("HTTP/1.1 200 OK\r\n"));
    EXPECT_EQ(callback(), (Callback{QStringLiteral("c"), QStringLiteral("s")}));
}

TEST_F(OAuthLoopbackServerTest, ConnectionsToOtherAddressesOfThisHostAreRefused)
{
    QList<QHostAddress> others{QHostAddress(QStringLiteral("127.0.0.2"))};
    for (const QHostAddress &address : QNetworkInterface::allAddresses()) {
        if (!address.isLoopback() && address.protocol() == QAbstractSocket::IPv4Protocol)
            others.append(address);
    }
    ASSERT_GE(others.size(), 2) << "this host has no non-loopback IPv4 address to try";
    for (const QHostAddress &address : others) {
        const RawExchange result = exchange(server.port(), {get("/oauth2callback?code=x&state=y")}, 0ms, address);
        EXPECT_FALSE(result.connected) << address.toString().toStdString();
    }
    EXPECT_TRUE(server.isListening());
    ASSERT_FALSE(exchange(server.port(), {get("/oauth2callback?code=a&state=b")}).reply.isEmpty());
    EXPECT_EQ(callback(), (Callback{QStringLiteral("a"), QStringLiteral("b")}));
}

TEST_F(OAuthLoopbackServerTest, BytesThatAreNotUTF8GetNoReplyAndTheWaitGoesOn)
{
    RawExchange result = exchange(server.port(), {"GET /oauth2callback?code=\xff\xfe&state=s HTTP/1.1\r\n\r\n"});
    EXPECT_TRUE(result.reply.isEmpty());
    EXPECT_TRUE(result.closedByServer);

    // A read ending inside a multi-byte character is not valid text either.
    QByteArray truncated = "GET /oauth2callback?code=x&state=y HTTP/1.1\r\nX-Pad: ";
    truncated += QByteArray(OAuthLoopbackServer::maxRequestBytes - truncated.size() - 1, 'a');
    truncated += QByteArray("\xe3\x81\x82\r\n\r\n");
    result = exchange(server.port(), {truncated});
    EXPECT_TRUE(result.reply.isEmpty());

    // A connection that sends nothing.
    result = exchange(server.port(), {});
    EXPECT_TRUE(result.reply.isEmpty());

    EXPECT_TRUE(server.isListening());
    ASSERT_FALSE(exchange(server.port(), {get("/oauth2callback?code=after&state=s")}).reply.isEmpty());
    EXPECT_EQ(callback(), (Callback{QStringLiteral("after"), QStringLiteral("s")}));
}

TEST_F(OAuthLoopbackServerTest, LongRequestIsAnsweredFromItsFirst8192Bytes)
{
    QByteArray request = "GET /oauth2callback?code=long&state=s HTTP/1.1\r\nCookie: ";
    request += QByteArray(20000, 'c') + "\r\n\r\n";
    EXPECT_TRUE(exchange(server.port(), {request}).reply.startsWith("HTTP/1.1 200 OK\r\n"));
    EXPECT_EQ(callback(), (Callback{QStringLiteral("long"), QStringLiteral("s")}));
}

TEST_F(OAuthLoopbackServerTest, RedirectHandledBeforeTheWaitIsKeptForIt)
{
    ASSERT_FALSE(exchange(server.port(), {get("/oauth2callback?state=early&code=c")}).reply.isEmpty());
    spin(50ms);
    EXPECT_EQ(callback(), (Callback{QStringLiteral("c"), QStringLiteral("early")}));
}

TEST_F(OAuthLoopbackServerTest, WaitForNothingFailsAfterItsTimeOutAndStopsListening)
{
    try {
        runTask(server.waitForCallback(100ms));
        FAIL() << "the wait ended without a redirect";
    } catch (const GoogleOAuthClient::OAuthError &error) {
        EXPECT_EQ(error.kind(), GoogleOAuthClient::OAuthError::invalidAuthorizationResponse);
    }
    EXPECT_FALSE(server.isListening());
}

TEST_F(OAuthLoopbackServerTest, CancelEndsTheWaitWithCancellationAndStopsListening)
{
    bool cancelled = false;
    auto wait = [&]() -> QCoro::Task<void> {
        try {
            co_await server.waitForCallback(5s);
        } catch (const CancellationError &) {
            cancelled = true;
        }
    };
    auto task = wait();
    spin(20ms);
    server.cancel();
    EXPECT_FALSE(server.isListening());
    EXPECT_FALSE(cancelled); // resumed from the event loop, not inside cancel()
    EXPECT_TRUE(waitUntil([&] { return cancelled; }));
    // A request that arrives later changes nothing.
    EXPECT_THROW(runTask(server.waitForCallback(5s)), CancellationError);
}

// Every kind of malformed request: no crash, and never a complete code and state.
TEST(OAuthLoopbackServerBadInputTest, MalformedRequestsNeverYieldAUsableCallback)
{
    struct Case {
        QByteArray request;
        Callback expected;
    };
    const Case cases[] = {
        {get("/favicon.ico"), {}},
        {"HELLO\r\n\r\n", {}},
        {"GET  /oauth2callback?code=a&state=b HTTP/1.1\r\n\r\n", {}},
        {get("/oauth2callback?code&state="), {std::nullopt, QString()}},
        {get("/oauth2callback?error=access_denied&state=s"), {std::nullopt, QStringLiteral("s")}},
        {get("/oauth2callback?code=%FF%FE&state=s"), {std::nullopt, QStringLiteral("s")}},
        {get("/oauth2callback?Code=a&STATE=b"), {}},
        {get("/oauth2callback#code=a&state=b"), {}},
    };
    for (const Case &c : cases) {
        OAuthLoopbackServer server;
        server.start();
        EXPECT_TRUE(exchange(server.port(), {c.request}).reply.startsWith("HTTP/1.1 200 OK"));
        EXPECT_EQ(runTask(server.waitForCallback(5s)), c.expected) << c.request.toStdString();
    }
    // Targets that are not part of a URL fail the wait.
    for (const QByteArray &target : {QByteArray("/oauth2callback?code=%zz&state=s"), QByteArray("/a\"<>{}|")}) {
        OAuthLoopbackServer server;
        server.start();
        EXPECT_TRUE(exchange(server.port(), {get(target)}).reply.startsWith("HTTP/1.1 200 OK"));
        EXPECT_THROW(runTask(server.waitForCallback(5s)), GoogleOAuthClient::OAuthError) << target.toStdString();
        EXPECT_FALSE(server.isListening());
    }
}

TEST(OAuthLoopbackPageTest, MessageIsEscapedIntoTheParagraph)
{
    EXPECT_EQ(htmlEscaped(QStringLiteral(R"(a & "b" <c> 'd' &amp;)")),
              QStringLiteral("a &amp; &quot;b&quot; &lt;c&gt; &#39;d&#39; &amp;amp;"));
    const QString page = OAuthLoopbackServer::successHTML(QStringLiteral("<script>x</script>"));
    EXPECT_TRUE(page.startsWith(QStringLiteral("<!doctype html>\n<html lang=\"ja\">")));
    EXPECT_TRUE(page.endsWith(QStringLiteral("<p>&lt;script&gt;x&lt;/script&gt;</p>\n  </main>\n</body>\n</html>")));
    EXPECT_FALSE(page.contains(QStringLiteral("<script>")));
    EXPECT_EQ(page.toUtf8().size(), 2417 + QByteArray("&lt;script&gt;x&lt;/script&gt;</p>\n  </main>\n</body>\n</html>").size());
}
