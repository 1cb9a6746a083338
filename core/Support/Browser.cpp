#include "Support/Browser.h"

#include <QCoroSignal>
#include <QProcess>

namespace kestrivane {

bool isWebURL(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty() && (scheme == u"http" || scheme == u"https");
}

QCoro::Task<bool> openInBrowser(QUrl url, std::chrono::milliseconds patience)
{
    if (!isWebURL(url))
        co_return false;
    auto *process = new QProcess;
    process->setProgram(QStringLiteral("xdg-open"));
    // One argument, no shell: the link can become neither an option nor a command.
    process->setArguments({url.toString(QUrl::FullyEncoded)});
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    process->start();
    if (process->state() == QProcess::NotRunning) {
        delete process; // xdg-open could not be started
        co_return false;
    }
    const auto finished = co_await qCoro(process, &QProcess::finished, patience);
    if (!finished) {
        if (process->state() == QProcess::NotRunning) {
            delete process;
            co_return false;
        }
        // xdg-open may run the browser in the foreground: let it go on (deleting a running QProcess
        // would kill the browser) and count the link as opened.
        QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
        co_return true;
    }
    process->deleteLater();
    const auto [exitCode, exitStatus] = *finished;
    co_return exitStatus == QProcess::NormalExit && exitCode == 0;
}

} // namespace kestrivane
