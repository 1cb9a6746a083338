#pragma once

#include <QCoro/QCoroTask>
#include <QUrl>

namespace kestrivane {

// An absolute http or https link with a host: the only links handed to the browser.
bool isWebURL(const QUrl &url);

// Opens `url` in the user's browser by running xdg-open with the link as its one argument (no
// shell) and yields whether it exited successfully. Links that are not web links are refused.
QCoro::Task<bool> openInBrowser(QUrl url);

} // namespace kestrivane
