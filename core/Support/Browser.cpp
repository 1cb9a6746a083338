#include "Support/Browser.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTimer>

#include <coroutine>
#include <memory>
#include <optional>

namespace kestrivane {

bool isWebURL(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty() && (scheme == u"http" || scheme == u"https");
}

namespace {

// How the wait for xdg-open ended.
enum class Ending { finished, patienceOver, quitting };

// Resumes once: when the process finishes, when `patience` has passed, or when the application is
// about to quit (no event loop would deliver the other two, and the waiting coroutine would stay
// suspended for good).
class ProcessEnd {
public:
    ProcessEnd(QProcess *process, std::chrono::milliseconds patience) : process_(process), patience_(patience) {}

    bool await_ready() const noexcept { return false; }
    void await_suspend(std::coroutine_handle<> waiting)
    {
        watch_ = std::make_unique<QObject>();
        const auto end = [this, waiting](Ending ending) {
            if (ending_)
                return;
            ending_ = ending;
            waiting.resume();
        };
        QObject::connect(process_, &QProcess::finished, watch_.get(), [end] { end(Ending::finished); });
        QTimer::singleShot(patience_, watch_.get(), [end] { end(Ending::patienceOver); });
        QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, watch_.get(),
                         [end] { end(Ending::quitting); });
    }
    Ending await_resume() const noexcept { return ending_.value_or(Ending::finished); }

private:
    QProcess *process_;
    std::chrono::milliseconds patience_;
    // The context of the connections above: they end with the wait.
    std::unique_ptr<QObject> watch_;
    std::optional<Ending> ending_;
};

// How long a quitting application waits for an xdg-open that is still handing the link over.
constexpr std::chrono::milliseconds quitGrace{2000};

} // namespace

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
    Ending ending = co_await ProcessEnd(process, patience);
    // Quitting: the deferred deletion below still runs as the event loop ends.
    if (ending == Ending::quitting && process->waitForFinished(static_cast<int>(quitGrace.count())))
        ending = Ending::finished;
    if (ending != Ending::finished) {
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
    co_return process->exitStatus() == QProcess::NormalExit && process->exitCode() == 0;
}

} // namespace kestrivane
