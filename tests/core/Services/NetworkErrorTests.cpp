#include "Services/NetworkError.h"
#include "Support/Localization.h"

#include "TestSupport/Coroutines.h"
#include "TestSupport/FakeCalendarServer.h"

#include <QCoroNetworkReply>
#include <QNetworkAccessManager>
#include <QNetworkRequest>

#include <gtest/gtest.h>

#include <memory>

using namespace kestrivane;
using namespace kestrivane::test;

namespace {

class NetworkErrorTest : public ::testing::Test {
protected:
    void SetUp() override { L10n::configure(QStringLiteral("en")); }
    void TearDown() override { L10n::configure(std::nullopt); }
};

// The error of a GET that the transfer time-out of `timeoutMs` ends.
NetworkError timedOutGet(QNetworkAccessManager &network, const QUrl &url, int timeoutMs)
{
    QNetworkRequest request(url);
    request.setTransferTimeout(timeoutMs);
    std::unique_ptr<QNetworkReply> reply(network.get(request));
    auto wait = [&]() -> QCoro::Task<> { co_await reply.get(); };
    runTask(wait());
    return NetworkError::fromReply(*reply);
}

} // namespace

TEST_F(NetworkErrorTest, TransferTimeOutReadsAsTimedOut)
{
    FakeCalendarServer server;
    ASSERT_TRUE(server.listen());
    server.routeGet("/slow", StubResponse::dropped(StubResponse::Action::hang));
    QNetworkAccessManager network;
    QUrl url = server.baseURL();
    url.setPath(QStringLiteral("/slow"));

    const NetworkError error = timedOutGet(network, url, 200);
    EXPECT_TRUE(error.isTimeout()) << error.code();
    EXPECT_EQ(error.localizedDescription(), "The server did not answer in time.");
    L10n::configure(QStringLiteral("ja"));
    EXPECT_EQ(error.localizedDescription(), "サーバーから時間内に応答がありませんでした。");
}

TEST_F(NetworkErrorTest, OtherFailuresCarryTheirDetail)
{
    const NetworkError refused(QNetworkReply::ConnectionRefusedError, QStringLiteral("Connection refused"));
    EXPECT_FALSE(refused.isTimeout());
    EXPECT_EQ(refused.localizedDescription(), "The connection to the server failed: Connection refused");
    EXPECT_STREQ(refused.what(), "The connection to the server failed: Connection refused");
}
