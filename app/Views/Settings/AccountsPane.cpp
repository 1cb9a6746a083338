#include "Views/Settings/AccountsPane.h"

#include "DesignSystem/KVButton.h"
#include "DesignSystem/KVGrouping.h"
#include "DesignSystem/KVLabel.h"
#include "DesignSystem/KVStatus.h"
#include "DesignSystem/KVSymbols.h"
#include "DesignSystem/KVViewSupport.h"
#include "Stores/AppStore.h"
#include "Support/AppL10n.h"
#include "Views/Settings/AccountIdentity.h"
#include "Views/Settings/SettingsPaneKit.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace kestrivane {

AccountsPane::AccountsPane(AppStore &store, QWidget *parent)
    : QWidget(parent), store_(&store), layout_(makePaneLayout(this)), refresh_(new KVDeferredRefresh(this, [this] { refresh(); }))
{
    refresh_->follow(&store, &AppStore::changed);
    refresh();
}

void AccountsPane::refresh()
{
    if (!store_)
        return;
    const Shown shown{store_->googleOAuthConfigured(), store_->googleAccounts()};
    if (shown_ == shown)
        return;
    shown_ = shown;
    clearLayout(layout_);
    build(shown);
}

void AccountsPane::build(const Shown &shown)
{
    AppStore *store = store_;
    auto *add = new KVButton(AppL10n::text(QStringLiteral("settings_add_google")), KVButton::Style::bordered,
                             [store = store_] {
                                 if (store)
                                     AccountIdentity::connectThroughBrowser(*store);
                             });
    add->setSymbol(QStringLiteral("plus"));
    add->setControlSize(KVButton::ControlSize::small);
    add->setEnabled(shown.configured);
    add->setObjectName(QStringLiteral("addAccount"));
    addPaneHeader(layout_, new PaneHeader(AppL10n::text(QStringLiteral("settings_section_accounts")), add));

    if (!shown.configured) {
        auto *warning = new QWidget;
        auto *line = new QHBoxLayout(warning);
        line->setContentsMargins(0, 0, 0, 0);
        line->setSpacing(6);
        line->addWidget(new KVSymbol(QStringLiteral("exclamationmark.triangle"), 12, KVColorRef(&KVPalette::danger)));
        auto *text = new KVLabel(AppL10n::text(QStringLiteral("google_oauth_not_configured")), KVFont::callout(),
                                 KVColorRef(&KVPalette::danger));
        text->setMaxLines(0);
        line->addWidget(text, 1);
        layout_->addWidget(warning);
    }

    auto *group = new KVGroupBox;
    if (shown.accounts.isEmpty()) {
        auto *empty = new QWidget;
        auto *line = new QHBoxLayout(empty);
        line->setContentsMargins(14, 14, 14, 14);
        line->addWidget(new KVLabel(AppL10n::text(QStringLiteral("settings_no_accounts")), KVFont::callout(),
                                    KVColorRef(&KVPalette::text3)), 1);
        group->addRow(empty);
    } else {
        for (qsizetype i = 0; i < shown.accounts.size(); ++i) {
            if (i > 0)
                group->addRow(new KVInsetDivider);
            group->addRow(new AccountRowView(*store, shown.accounts[i]));
        }
    }
    layout_->addWidget(group);

    if (!shown.accounts.isEmpty()) {
        auto *row = new QWidget;
        auto *line = new QHBoxLayout(row);
        line->setContentsMargins(4, 0, 0, 0);
        auto *all = new KVButton(AppL10n::text(QStringLiteral("disconnect_all")), KVButton::Style::plain, [store = store_] {
            if (store)
                store->disconnectGoogle();
        });
        all->setLabelFont(KVFont::system(KVFont::callout().pixelSize(), KVFont::Weight::medium));
        all->setLabelColor(KVColorRef(&KVPalette::danger));
        all->setObjectName(QStringLiteral("disconnectAll"));
        line->addWidget(all);
        line->addStretch(1);
        layout_->addWidget(row);
    }
}

AccountRowView::AccountRowView(AppStore &store, const GoogleAccount &account, QWidget *parent) : QWidget(parent)
{
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(14, 10, 14, 10);
    row->setSpacing(10);
    row->addWidget(new AccountAvatar(AccountIdentity::initials(account), this));

    auto *names = new QVBoxLayout;
    names->setSpacing(2);
    names->addWidget(new KVLabel(AccountIdentity::displayName(account), KVFont::system(13, KVFont::Weight::medium),
                                 KVColorRef(&KVPalette::text1), this));
    if (AccountIdentity::hasName(account))
        names->addWidget(new KVLabel(account.email, KVFont::system(11), KVColorRef(&KVPalette::text3), this));
    row->addLayout(names, 1);
    row->addSpacing(2);

    row->addWidget(new KVStatusPill(AppL10n::text(QStringLiteral("google_status_connected")), QStringLiteral("checkmark"),
                                    KVStatusTone::success, this));
    auto *remove = new KVButton(QString(), KVButton::Style::plain, [store = QPointer<AppStore>(&store), account] {
        if (store)
            store->disconnectGoogleAccount(account);
    }, this);
    remove->setSymbol(QStringLiteral("minus.circle"));
    remove->setSymbolSize(13);
    remove->setLabelColor(KVColorRef(&KVPalette::text3));
    remove->setHelp(AppL10n::format(QStringLiteral("remove_account_help"), account.email));
    remove->setObjectName(QStringLiteral("removeAccount"));
    row->addWidget(remove);
}

} // namespace kestrivane
