#include "Support/OpenURL.h"

#include <QCoreApplication>
#include <QPointer>
#include <QProcess>
#include <QTimer>

#include <coroutine>

namespace kestrivane {

namespace {

enum class Outcome { Succeeded, Failed, StillRunning };

// Resumes the awaiting coroutine when the process ends (or goes away) or the timer fires,
// whichever comes first.
class ProcessEnd {
public:
    ProcessEnd(QProcess *process, QTimer *timer) : process_(process), timer_(timer) {}
    ~ProcessEnd() { disconnectAll(); }

    bool await_ready() const noexcept { return !process_ || process_->state() == QProcess::NotRunning; }

    void await_suspend(std::coroutine_handle<> handle)
    {
        handle_ = handle;
        connections_ = {
            QObject::connect(process_, &QProcess::finished, process_, [this](int code, QProcess::ExitStatus status) {
                resume(status == QProcess::NormalExit && code == 0 ? Outcome::Succeeded : Outcome::Failed);
            }),
            QObject::connect(process_, &QProcess::errorOccurred, process_, [this](QProcess::ProcessError error) {
                if (error == QProcess::FailedToStart || error == QProcess::Crashed)
                    resume(Outcome::Failed);
            }),
            QObject::connect(process_, &QObject::destroyed, timer_, [this] { resume(Outcome::Failed); }),
            QObject::connect(timer_, &QTimer::timeout, timer_, [this] { resume(Outcome::StillRunning); }),
        };
    }

    Outcome await_resume() const noexcept
    {
        if (!resumed_) // ready at once
            return process_ && process_->exitStatus() == QProcess::NormalExit && process_->exitCode() == 0
                           && process_->error() == QProcess::UnknownError
                       ? Outcome::Succeeded
                       : Outcome::Failed;
        return outcome_;
    }

private:
    void resume(Outcome outcome)
    {
        if (resumed_)
            return;
        resumed_ = true;
        outcome_ = outcome;
        disconnectAll();
        handle_.resume();
    }

    void disconnectAll()
    {
        for (const auto &connection : connections_)
            QObject::disconnect(connection);
        connections_.clear();
    }

    QPointer<QProcess> process_;
    QTimer *timer_;
    std::coroutine_handle<> handle_;
    QList<QMetaObject::Connection> connections_;
    bool resumed_ = false;
    Outcome outcome_ = Outcome::Failed;
};

} // namespace

bool isOpenableWebURL(const QUrl &url)
{
    if (!url.isValid() || url.host().isEmpty())
        return false;
    const QString scheme = url.scheme().toLower();
    return scheme == u"http" || scheme == u"https";
}

QCoro::Task<bool> openURL(QUrl url, std::chrono::milliseconds patience)
{
    if (!isOpenableWebURL(url))
        co_return false;

    // Parented to the application so that a process still running after the answer lives on and
    // is deleted when it ends.
    auto *process = new QProcess(QCoreApplication::instance());
    process->setProgram(QStringLiteral("xdg-open"));
    process->setArguments({url.toString(QUrl::FullyEncoded)});
    process->setStandardInputFile(QProcess::nullDevice());
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
    QObject::connect(process, &QProcess::errorOccurred, process, [process](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            process->deleteLater();
    });
    process->start();

    QTimer patienceTimer;
    patienceTimer.setSingleShot(true);
    patienceTimer.start(patience);
    const Outcome outcome = co_await ProcessEnd(process, &patienceTimer);
    co_return outcome != Outcome::Failed;
}

} // namespace kestrivane
