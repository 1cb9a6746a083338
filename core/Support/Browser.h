#pragma once

#include <QCoro/QCoroTask>
#include <QUrl>

#include <chrono>

namespace kestrivane {

// An absolute http or https link with a host: the only links handed to the browser.
bool isWebURL(const QUrl &url);

// Opens `url` in the user's browser by running xdg-open with the link as its one argument (no
// shell) and yields whether it exited successfully. Links that are not web links are refused.
// When xdg-open is still running after `patience` (it runs some browsers in the foreground) the
// browser has started: the answer is true and xdg-open is left to finish on its own.
QCoro::Task<bool> openInBrowser(QUrl url, std::chrono::milliseconds patience = std::chrono::seconds(10));

} // namespace kestrivane
