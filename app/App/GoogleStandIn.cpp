#include "App/GoogleStandIn.h"

namespace kestrivane {

std::optional<GoogleEndpoints> googleStandInEndpoints(const QHash<QString, QString> &environment)
{
    const QString value = environment.value(QStringLiteral("KESTRIVANE_GOOGLE_STAND_IN")).trimmed();
    if (value.isEmpty())
        return std::nullopt;
    const QUrl base(value, QUrl::StrictMode);
    if (!base.isValid() || base.host().isEmpty() || (base.scheme() != u"http" && base.scheme() != u"https"))
        return std::nullopt;
    GoogleEndpoints endpoints;
    endpoints.accountsBase = base;
    endpoints.oauthTokenBase = base;
    endpoints.apiBase = base;
    return endpoints;
}

} // namespace kestrivane
