// The reference of the start-up benchmark: a bare Qt tray program. It shows a tray icon, opens one
// window with a line of text in a layout (laid out, like any window's text, before it is mapped) on
// the next turn of the event loop, and quits through the event loop on SIGTERM.
#include <QApplication>
#include <QLabel>
#include <QPixmap>
#include <QSocketNotifier>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QVBoxLayout>

#include <memory>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int signalPipe[2] = {-1, -1};

extern "C" void forward(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(signalPipe[0], &byte, 1);
}
} // namespace

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    application.setQuitOnLastWindowClosed(false);

    ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe);
    QSocketNotifier quitNotifier(signalPipe[1], QSocketNotifier::Read);
    QObject::connect(&quitNotifier, &QSocketNotifier::activated, &application, &QCoreApplication::quit);
    struct sigaction action = {};
    action.sa_handler = forward;
    ::sigaction(SIGTERM, &action, nullptr);

    QPixmap pixmap(22, 22);
    pixmap.fill(Qt::darkCyan);
    QSystemTrayIcon tray{QIcon(pixmap)};
    tray.setToolTip(QStringLiteral("Bare tray"));
    tray.show();

    std::unique_ptr<QWidget> window;
    QTimer::singleShot(0, &application, [&window] {
        window = std::make_unique<QWidget>();
        window->setWindowTitle(QStringLiteral("Bare tray"));
        auto *layout = new QVBoxLayout(window.get());
        layout->addWidget(new QLabel(QStringLiteral("A bare Qt tray program")));
        window->resize(560, 520);
        window->show();
    });
    return application.exec();
}
