#pragma once

#include "Support/Error.h"

#include <QByteArray>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QString>

#include <QCoro/QCoroTask>

#include <chrono>
#include <optional>

class QNetworkAccessManager;

namespace kestrivane {

// Time allowed for one whole request, from sending it to the last byte of the answer.
inline constexpr std::chrono::seconds httpTransferTimeout{60};

// The text of `bytes` when they are valid UTF-8 (an initial byte-order mark is kept); nullopt otherwise.
std::optional<QString> decodeUTF8(const QByteArray &bytes);

// One complete answer of a server. Error statuses (4xx, 5xx) are answers too, with their body.
struct HTTPResponse {
    // Absent when the answer did not come over HTTP.
    std::optional<int> statusCode;
    QByteArray body;

    bool isSuccess() const { return statusCode && *statusCode >= 200 && *statusCode <= 299; }
    // The body as UTF-8 text; "HTTP <status>" when the body is not valid UTF-8.
    QString errorMessage() const;
};

// A request that got no complete answer: refused or dropped connection, unknown host, TLS
// failure, time-out.
class TransportError : public Error {
public:
    TransportError(QNetworkReply::NetworkError code, const QString &detail);
    QNetworkReply::NetworkError code() const { return code_; }

private:
    QNetworkReply::NetworkError code_;
};

// The process-wide network access manager of the main thread (owned by the application object).
QNetworkAccessManager &sharedNetworkAccessManager();

// Sends `request` with the method `verb` and `body`, and waits for the whole answer. Requests
// without a transfer time-out of their own get `httpTransferTimeout`. Redirects are followed.
// Throws TransportError when no complete answer arrived.
QCoro::Task<HTTPResponse> sendHTTPRequest(QNetworkAccessManager &network, QNetworkRequest request, QByteArray verb,
                                          QByteArray body = {});

} // namespace kestrivane
