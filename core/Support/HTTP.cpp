#include "Support/HTTP.h"

#include "Support/Localization.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QPointer>
#include <QStringDecoder>

#include <QCoro/QCoroNetworkReply>

#include <memory>

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

struct DeleteLater {
    void operator()(QNetworkReply *reply) const { reply->deleteLater(); }
};

} // namespace

QCoro::Task<HTTPResponse> sendHTTPRequest(QNetworkAccessManager &network, QNetworkRequest request, QByteArray verb,
                                          QByteArray body)
{
    if (request.transferTimeout() <= 0)
        request.setTransferTimeout(static_cast<int>(std::chrono::milliseconds(httpTransferTimeout).count()));
    const int timeoutMs = request.transferTimeout();

    std::unique_ptr<QNetworkReply, DeleteLater> reply(network.sendCustomRequest(request, verb, body));
    co_await reply.get();

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
