#include "Services/GoogleEndpoints.h"

namespace kestrivane {

const GoogleEndpoints &GoogleEndpoints::google()
{
    static const GoogleEndpoints endpoints;
    return endpoints;
}

QUrl GoogleEndpoints::resolved(const QUrl &base, const QString &encodedPath)
{
    QUrl url = base;
    QString prefix = base.path(QUrl::FullyEncoded);
    if (prefix.endsWith(u'/'))
        prefix.chop(1);
    url.setPath(prefix + encodedPath, QUrl::TolerantMode);
    return url;
}

} // namespace kestrivane
