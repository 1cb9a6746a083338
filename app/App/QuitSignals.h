#pragma once

#include <QObject>

class QSocketNotifier;

namespace kestrivane {

// Turns SIGTERM, SIGINT and SIGHUP (the terminal or session that started the application ended)
// into a Qt signal on the main thread, so they take the orderly quit.
// One instance per process.
class QuitSignals : public QObject {
    Q_OBJECT

public:
    explicit QuitSignals(QObject *parent = nullptr);
    ~QuitSignals() override;

signals:
    void quitRequested(int signalNumber);

private:
    void drain();
    QSocketNotifier *notifier_ = nullptr;
};

} // namespace kestrivane
