#pragma once

#include <QUrl>

#include <QCoro/QCoroTask>

#include <chrono>

namespace kestrivane {

// Opens an http or https link in the user's browser with `xdg-open`, the link as its one argument
// (no shell is involved). Answers whether xdg-open exited with status 0; any other scheme, an
// invalid link or a missing xdg-open answers false. When xdg-open is still running after
// `patience` (it runs some browsers in the foreground) the browser has started: the answer is
// true and xdg-open is left to finish on its own.
QCoro::Task<bool> openURL(QUrl url, std::chrono::milliseconds patience = std::chrono::seconds(10));

// The links openURL accepts.
bool isOpenableWebURL(const QUrl &url);

} // namespace kestrivane
