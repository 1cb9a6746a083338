#pragma once

#include "Models/CalendarModels.h"

#include <QString>
#include <QWidget>

namespace kestrivane {

class AppStore;

// How the settings and setup windows show a connected account.
namespace AccountIdentity {

// The account's name when present and not empty, else its e-mail address.
QString displayName(const GoogleAccount &account);
// Whether the account has a name worth a line of its own (present and not empty).
bool hasName(const GoogleAccount &account);
// The avatar text: the first characters (grapheme clusters) of the first two pieces of the name
// (else the e-mail address) split at " ", ".", "@", "_" and "-", each upper-cased without regard
// to the locale ("ß" becomes "SS"); "G" when there is none.
QString initials(const GoogleAccount &account);

// Connects one more account through the browser: the store's connect-and-sync with the
// authorisation page opened by xdg-open. Returns at once; the connection runs on in the store
// (closing the window that started it does not end it), and its outcome shows in the store's state.
void connectThroughBrowser(AppStore &store);

} // namespace AccountIdentity

// A 28-point circle in a diagonal accent gradient (0.35 to 0.14) with the initials (11, semibold,
// accent) centred on it.
class AccountAvatar : public QWidget {
    Q_OBJECT

public:
    explicit AccountAvatar(const QString &initials, QWidget *parent = nullptr);
    QString initials() const { return initials_; }
    QSize sizeHint() const override { return QSize(28, 28); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString initials_;
};

} // namespace kestrivane
