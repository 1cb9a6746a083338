#include "Support/HTTP.h"

#include "Support/Localization.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QPointer>
#include <QStringDecoder>

#include <coroutine>
#include <memory>
#include <utility>

namespace kestrivane {

std::optional<QString> decodeUTF8(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

QString HTTPResponse::errorMessage() const
{
    if (auto text = decodeUTF8(body))
        return *text;
    return QStringLiteral("HTTP %1").arg(statusCode.value_or(0));
}

TransportError::TransportError(QNetworkReply::NetworkError code, const QString &detail)
    : Error(L10n::format(QStringLiteral("error_network_request_failed"), detail)), code_(code)
{
}

QNetworkAccessManager &sharedNetworkAccessManager()
{
    static QPointer<QNetworkAccessManager> shared;
    if (!shared)
        shared = new QNetworkAccessManager(QCoreApplication::instance());
    return *shared;
}

namespace {

// Failures below the HTTP layer: whatever status line arrived, the body cannot be trusted.
bool isTransportFailure(QNetworkReply::NetworkError error)
{
    return error != QNetworkReply::NoError && error < QNetworkReply::ContentAccessDenied;
}

// Waits for a reply to finish, or to be destroyed unfinished: a manager deletes its replies
// without their finished() signal, and a coroutine waiting only for that signal would stay
// suspended for good.
class ReplyEnd {
public:
    explicit ReplyEnd(QNetworkReply *reply) : reply_(reply) {}

    bool await_ready() const noexcept { return !reply_ || reply_->isFinished(); }
    void await_suspend(std::coroutine_handle<> waiting)
    {
        const auto resumed = std::make_shared<bool>(false);
        const auto resume = [waiting, resumed] {
            if (!std::exchange(*resumed, true))
                waiting.resume();
        };
        QObject::connect(reply_, &QNetworkReply::finished, resume);
        QObject::connect(reply_, &QObject::destroyed, resume);
    }
    void await_resume() const noexcept {}

private:
    QPointer<QNetworkReply> reply_;
};

// Hands the reply to deleteLater() when the request ends, unless its manager deleted it already.
struct ReplyRelease {
    QPointer<QNetworkReply> reply;
    ~ReplyRelease()
    {
        if (reply)
            reply->deleteLater();
    }
};

} // namespace

QCoro::Task<HTTPResponse> sendHTTPRequest(QNetworkAccessManager &network, QNetworkRequest request, QByteArray verb,
                                          QByteArray body)
{
    if (request.transferTimeout() <= 0)
        request.setTransferTimeout(static_cast<int>(std::chrono::milliseconds(httpTransferTimeout).count()));
    const int timeoutMs = request.transferTimeout();

    const ReplyRelease release{network.sendCustomRequest(request, verb, body)};
    co_await ReplyEnd(release.reply);
    QNetworkReply *reply = release.reply;
    if (!reply)
        throw TransportError(QNetworkReply::OperationCanceledError, QCoreApplication::translate("QNetworkReply", "Operation canceled"));

    const QNetworkReply::NetworkError error = reply->error();
    if (error == QNetworkReply::TimeoutError || error == QNetworkReply::OperationCanceledError) {
        // Nothing else aborts our replies: the transfer time-out has passed.
        throw TransportError(error, L10n::format(QStringLiteral("error_network_timeout"), timeoutMs / 1000.0));
    }
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (isTransportFailure(error) || (error != QNetworkReply::NoError && !status.isValid()))
        throw TransportError(error, reply->errorString());

    HTTPResponse response;
    if (status.isValid())
        response.statusCode = status.toInt();
    response.body = reply->readAll();
    co_return response;
}

} // namespace kestrivane
