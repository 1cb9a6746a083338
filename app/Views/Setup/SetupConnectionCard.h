#pragma once

#include "Models/CalendarModels.h"
#include "Stores/AppStore.h"

#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <optional>

class QVBoxLayout;

namespace kestrivane {

class KVDeferredRefresh;

// What the connection card shows, derived from the store by four independent rules: accounts
// decide the header and the list, the configured flag decides the warning and whether the buttons
// work, the connection status alone decides the failure line (and the spinner while no account
// is listed).
struct SetupConnectionCardModel {
    enum class StateControl { connectButton, spinner, connectedPill };

    struct Header {
        bool checked = false; // the badge's checkmark instead of "1"
        StateControl control = StateControl::connectButton;
        bool buttonEnabled = false;
        friend bool operator==(const Header &, const Header &) = default;
    };

    struct Accounts {
        QList<GoogleAccount> accounts;
        bool addEnabled = false;
        friend bool operator==(const Accounts &, const Accounts &) = default;
    };

    Header header;
    bool showsWarning = false;
    std::optional<QString> failureMessage;
    std::optional<Accounts> accounts;

    static SetupConnectionCardModel derive(const QList<GoogleAccount> &accounts,
                                           const AppStore::GoogleConnectionStatus &status, bool configured);
    friend bool operator==(const SetupConnectionCardModel &, const SetupConnectionCardModel &) = default;
};

// The setup window's one step: connecting a Google account. A header with the step badge and the
// state control (connect button, spinner or connected pill), then, each behind its own inset
// divider and only when it applies, the not-configured warning, the failure line and the list of
// accounts with a row that connects one more. It draws no background or border of its own and
// keeps no state: it follows the store, rebuilding only the sections whose content changed.
class SetupConnectionCard : public QWidget {
    Q_OBJECT

public:
    explicit SetupConnectionCard(AppStore &store, QWidget *parent = nullptr);

private:
    void refresh();
    void buildHeader(const SetupConnectionCardModel::Header &header);
    void buildWarning();
    void buildFailure(const QString &message);
    void buildAccounts(const SetupConnectionCardModel::Accounts &accounts);
    void connectAccount();

    QPointer<AppStore> store_;
    KVDeferredRefresh *refresh_;
    // One slot per section, in their fixed order; a hidden slot shows nothing.
    QWidget *headerSlot_;
    QWidget *warningSlot_;
    QWidget *failureSlot_;
    QWidget *accountsSlot_;
    SetupConnectionCardModel shown_;
    bool built_ = false;
};

} // namespace kestrivane
