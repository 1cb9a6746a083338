#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>

class QAbstractButton;

namespace kestrivane {

class AppStore;
class KVDeferredRefresh;
class SetupConnectionCard;
class UpdateStatusStore;

// The first-run window's root view: the title bar, the welcome header, the one step (connecting a
// Google account, the connection card) with a privacy note, and a footer with the settings button
// and the open-Today button, which works once an account is connected. The view never closes its
// window by itself; the open-Today button asks for the Today window and then closes it.
class SetupView : public QWidget {
    Q_OBJECT

public:
    // Opens (or fronts) the application's window of an identifier.
    using OpenWindow = std::function<void(const QString &identifier)>;

    SetupView(AppStore &store, UpdateStatusStore &updateStatus, OpenWindow openWindow, QWidget *parent = nullptr);

    SetupConnectionCard *card() const { return card_; }
    QAbstractButton *settingsButton() const { return settingsButton_; }
    QAbstractButton *openTodayButton() const { return openTodayButton_; }

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QWidget *makeHeader();
    QWidget *makeConnectionSection();
    QWidget *makePrivacyNote();
    QWidget *makeFooter();
    void refresh();
    // Grows the minimum height to what the wrapped texts need at the current width.
    void fitHeightToContent();
    void openSettings();
    void openTodayMeets();

    QPointer<AppStore> store_;
    QPointer<UpdateStatusStore> updateStatus_;
    OpenWindow openWindow_;
    KVDeferredRefresh *refresh_;
    SetupConnectionCard *card_ = nullptr;
    QAbstractButton *settingsButton_ = nullptr;
    QAbstractButton *openTodayButton_ = nullptr;
};

} // namespace kestrivane
