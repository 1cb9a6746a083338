#pragma once

#include "Support/HTTP.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace kestrivane::test {

// Before the process ends (and the leak check runs): drop the shared network manager while the
// event loop still runs, so Qt's network thread and deferred deletions finish their clean-up.
inline void settleBeforeExit()
{
    delete &sharedNetworkAccessManager();
    QEventLoop loop;
    QTimer::singleShot(100, &loop, &QEventLoop::quit);
    loop.exec();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace kestrivane::test
