#pragma once

#include "Support/Error.h"

#include <QNetworkReply>

namespace kestrivane {

// A request that ended without an HTTP response: refused or dropped connection, name lookup
// failure, TLS failure, or the transfer time-out.
class NetworkError : public Error {
public:
    NetworkError(QNetworkReply::NetworkError code, QString detail);

    // The failure of a finished reply that carries no HTTP status. A cancelled reply counts as
    // timed out: the clients never abort their own requests, the transfer time-out does.
    static NetworkError fromReply(const QNetworkReply &reply);

    QNetworkReply::NetworkError code() const { return code_; }
    bool isTimeout() const;
    QString localizedDescription() const override;

private:
    QNetworkReply::NetworkError code_;
    QString detail_;
};

} // namespace kestrivane
