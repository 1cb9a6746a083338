#include "Support/HTTP.h"
#include "Support/Localization.h"
#include "TestSupport/Coroutines.h"
#include "TestSupport/FakeGoogleServer.h"

#include <QNetworkAccessManager>

#include <optional>

#include <gtest/gtest.h>

using namespace kestrivane;
using namespace kestrivane::test;

namespace {

QNetworkRequest requestTo(const FakeGoogleServer &server, const QString &path)
{
    return QNetworkRequest(server.baseURL().resolved(QUrl(path)));
}

} // namespace

TEST(HTTPTransportTest, ErrorStatusesAreAnswersWithTheirBody)
{
    FakeGoogleServer server;
    server.route("POST", "/echo", [](const RecordedRequest &request) {
        return FakeResponse::json(422, "got " + request.body);
    });
    const HTTPResponse response =
        runTask(sendHTTPRequest(sharedNetworkAccessManager(), requestTo(server, "/echo"), "POST", "a=1"));
    EXPECT_EQ(response.statusCode, 422);
    EXPECT_FALSE(response.isSuccess());
    EXPECT_EQ(response.body, "got a=1");
    EXPECT_EQ(response.errorMessage(), "got a=1");
    EXPECT_EQ((HTTPResponse{503, QByteArray("\xc3\x28", 2)}.errorMessage()), "HTTP 503");
    EXPECT_TRUE((HTTPResponse{204, {}}.isSuccess()));
}

TEST(HTTPTransportTest, SilentServerEndsInATimeOutError)
{
    FakeGoogleServer server;
    server.route("GET", "/slow", [](const RecordedRequest &) { return FakeResponse::hang(); });
    QNetworkRequest request = requestTo(server, "/slow");
    request.setTransferTimeout(200);
    // An own manager, ended here: an aborted transfer leaves clean-up work in its network thread.
    auto network = std::make_unique<QNetworkAccessManager>();
    try {
        runTask(sendHTTPRequest(*network, request, "GET"));
        ADD_FAILURE() << "a silent server gave an answer";
    } catch (const TransportError &error) {
        EXPECT_EQ(error.localizedDescription(),
                  L10n::format("error_network_request_failed", L10n::format("error_network_timeout", 0.2)));
    }
    network.reset();
    spin(std::chrono::milliseconds(50));
}

TEST(HTTPTransportTest, AManagerDeletedUnderAWaitingRequestEndsItWithAnError)
{
    FakeGoogleServer server;
    server.route("GET", "/slow", [](const RecordedRequest &) { return FakeResponse::hang(); });
    auto network = std::make_unique<QNetworkAccessManager>();
    bool ended = false;
    std::optional<QNetworkReply::NetworkError> code;
    // Deleting the manager deletes the reply without its finished() signal: the waiting coroutine
    // has to resume all the same, or it stays suspended (and leaks) for good.
    auto waiting = [&]() -> QCoro::Task<void> {
        try {
            co_await sendHTTPRequest(*network, requestTo(server, "/slow"), "GET");
        } catch (const TransportError &error) {
            code = error.code();
        }
        ended = true;
    }();
    ASSERT_TRUE(waitUntil([&] { return server.requestsTo("GET", "/slow").size() == 1; }));
    EXPECT_FALSE(ended);
    network.reset();
    EXPECT_TRUE(ended);
    EXPECT_EQ(code, QNetworkReply::OperationCanceledError);
    spin(std::chrono::milliseconds(50));
}

TEST(HTTPTransportTest, UTF8DecodingRejectsBrokenAndTruncatedSequences)
{
    EXPECT_EQ(decodeUTF8("caf\xc3\xa9"), QString::fromUtf8("café"));
    EXPECT_EQ(decodeUTF8(QByteArray()), QString());
    EXPECT_FALSE(decodeUTF8("\xff"));
    EXPECT_FALSE(decodeUTF8("ab\xe3\x81")); // ends inside a character
    EXPECT_FALSE(decodeUTF8("\xed\xa0\x80")); // an encoded surrogate
}
