#pragma once

#include "Models/CalendarModels.h"

#include <QList>
#include <QPointer>
#include <QWidget>

#include <optional>

class QVBoxLayout;

namespace kestrivane {

class AppStore;
class KVDeferredRefresh;

// The accounts pane: the connected Google accounts with their initials, adding one through the
// browser, removing one or all, and a warning when no OAuth client is configured. It follows the
// store, rebuilding its content on the next turn when what it shows changed.
class AccountsPane : public QWidget {
    Q_OBJECT

public:
    explicit AccountsPane(AppStore &store, QWidget *parent = nullptr);

private:
    struct Shown {
        bool configured = false;
        QList<GoogleAccount> accounts;
        friend bool operator==(const Shown &, const Shown &) = default;
    };
    void refresh();
    void build(const Shown &shown);

    QPointer<AppStore> store_;
    QVBoxLayout *layout_;
    std::optional<Shown> shown_;
    KVDeferredRefresh *refresh_;
};

// One account: avatar, name (or address) with the address under a name, the connected pill and
// the remove button.
class AccountRowView : public QWidget {
    Q_OBJECT

public:
    AccountRowView(AppStore &store, const GoogleAccount &account, QWidget *parent = nullptr);
};

} // namespace kestrivane
