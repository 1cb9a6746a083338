#include "Services/SharedNetworkAccess.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QPointer>

namespace kestrivane {

QNetworkAccessManager *sharedNetworkAccessManager()
{
    static QPointer<QNetworkAccessManager> shared;
    if (!shared)
        shared = new QNetworkAccessManager(QCoreApplication::instance());
    return shared;
}

} // namespace kestrivane
