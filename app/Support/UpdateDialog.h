#pragma once

#include "Support/Updater.h"

#include <QDialog>

class QAbstractButton;

namespace kestrivane {

class KVButton;
class KVLabel;

// The small window of an interactive update check: checking, up to date, an update available
// (its version and a button that opens its download page in the browser), or the failure. Drawn
// with the design system (the application icon, the message and its detail beside it, the buttons
// below) and sized to its content: long texts wrap, the window grows. Return presses the first
// button, Escape closes. Texts from the feed are shown as plain text.
class UpdateDialog : public QDialog {
    Q_OBJECT

public:
    enum class Phase { Checking, UpToDate, UpdateAvailable, Failed };

    explicit UpdateDialog(QWidget *parent = nullptr);

    void showChecking();
    void showUpToDate(const QString &currentVersion);
    void showAvailable(const AppcastItem &item);
    void showFailed(const QString &message);

    Phase phase() const { return phase_; }
    QString message() const;
    QString detail() const;
    QAbstractButton *downloadButton() const;
    QAbstractButton *closeButton() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void setMessage(const QString &message, const QString &detail = {});

    Phase phase_ = Phase::Checking;
    KVLabel *message_;
    KVLabel *detail_;
    KVButton *download_;
    KVButton *close_;
    QUrl link_;
};

} // namespace kestrivane
