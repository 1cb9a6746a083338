#pragma once

#include "Support/Updater.h"

#include <QDialog>

class QLabel;
class QPushButton;

namespace kestrivane {

// The small window of an interactive update check: checking, up to date, an update available
// (its version and a button that opens its download page in the browser), or the failure.
// Texts from the feed are shown as plain text.
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
    QPushButton *downloadButton() const { return download_; }

private:
    void setMessage(const QString &message, const QString &detail = {});

    Phase phase_ = Phase::Checking;
    QLabel *message_;
    QLabel *detail_;
    QPushButton *download_;
    QPushButton *close_;
    QUrl link_;
};

} // namespace kestrivane
