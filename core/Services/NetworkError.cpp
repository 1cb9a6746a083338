#include "Services/NetworkError.h"

#include "Support/Localization.h"

namespace kestrivane {

NetworkError::NetworkError(QNetworkReply::NetworkError code, QString detail)
    : code_(code), detail_(std::move(detail))
{
}

NetworkError NetworkError::fromReply(const QNetworkReply &reply)
{
    return NetworkError(reply.error(), reply.errorString());
}

bool NetworkError::isTimeout() const
{
    return code_ == QNetworkReply::TimeoutError || code_ == QNetworkReply::OperationCanceledError;
}

QString NetworkError::localizedDescription() const
{
    if (isTimeout())
        return L10n::text(QStringLiteral("network_error_timed_out"));
    return L10n::format(QStringLiteral("network_error_transport"), detail_);
}

} // namespace kestrivane
