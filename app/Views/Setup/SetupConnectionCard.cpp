#include "Views/Setup/SetupConnectionCard.h"

#include "DesignSystem/ColorSchemeProvider.h"
#include "DesignSystem/KVButton.h"
#include "DesignSystem/KVGrouping.h"
#include "DesignSystem/KVLabel.h"
#include "DesignSystem/KVStates.h"
#include "DesignSystem/KVStatus.h"
#include "DesignSystem/KVSymbols.h"
#include "DesignSystem/KVViewSupport.h"
#include "Support/AppL10n.h"
#include "Views/Settings/AccountIdentity.h"
#include "Views/Setup/SetupLabel.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

namespace kestrivane {

namespace {

QString text(const char *key)
{
    return AppL10n::text(QString::fromLatin1(key));
}

// The step badge: a 28-point circle with "1", or a checkmark once an account is connected.
class StepBadge : public QWidget {
public:
    StepBadge(bool checked, QWidget *parent = nullptr) : QWidget(parent), checked_(checked)
    {
        setFixedSize(28, 28);
        setAccessibleName(checked ? text("google_status_connected") : QStringLiteral("1"));
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        const KVPalette &colors = kvPalette(this);
        const QRectF circle(rect());
        painter.setPen(Qt::NoPen);
        painter.setBrush(checked_ ? colors.successSoft : colors.brandSoft);
        painter.drawEllipse(circle);
        if (checked_) {
            KVSymbols::paint(painter, QRectF(circle.center() - QPointF(6.5, 6.5), QSizeF(13, 13)), QStringLiteral("checkmark"),
                             colors.success, KVFont::Weight::semibold);
        } else {
            QFont font = KVFont::callout();
            font.setWeight(QFont::DemiBold);
            painter.setFont(font);
            painter.setPen(colors.accent());
            painter.drawText(circle, Qt::AlignCenter, QStringLiteral("1"));
        }
    }

private:
    bool checked_;
};

// A band that fills itself with a palette colour, edge to edge.
class Band : public QWidget {
public:
    Band(KVColorRef fill, QWidget *parent = nullptr) : QWidget(parent), fill_(std::move(fill)) {}

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), fill_.resolve(this));
    }

private:
    KVColorRef fill_;
};

QVBoxLayout *slotLayout(QWidget *slot)
{
    auto *layout = new QVBoxLayout(slot);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    return layout;
}

QWidget *newSlot(const QString &name, QWidget *parent)
{
    auto *slot = new QWidget(parent);
    slot->setObjectName(name);
    slotLayout(slot);
    slot->hide();
    return slot;
}

} // namespace

SetupConnectionCardModel SetupConnectionCardModel::derive(const QList<GoogleAccount> &accounts,
                                                         const AppStore::GoogleConnectionStatus &status, bool configured)
{
    using Kind = AppStore::GoogleConnectionStatus::Kind;
    SetupConnectionCardModel model;
    const bool hasAccounts = !accounts.isEmpty();
    model.header.checked = hasAccounts;
    model.header.control = hasAccounts                      ? StateControl::connectedPill
                           : status.kind() == Kind::connecting ? StateControl::spinner
                                                               : StateControl::connectButton;
    model.header.buttonEnabled = configured;
    model.showsWarning = !configured;
    if (status.kind() == Kind::failed)
        model.failureMessage = status.message();
    if (hasAccounts)
        model.accounts = Accounts{accounts, configured};
    return model;
}

SetupConnectionCard::SetupConnectionCard(AppStore &store, QWidget *parent)
    : QWidget(parent)
    , store_(&store)
    , refresh_(new KVDeferredRefresh(this, [this] { refresh(); }))
    , headerSlot_(newSlot(QStringLiteral("setup-card-header"), this))
    , warningSlot_(newSlot(QStringLiteral("setup-card-warning"), this))
    , failureSlot_(newSlot(QStringLiteral("setup-card-failure"), this))
    , accountsSlot_(newSlot(QStringLiteral("setup-card-accounts"), this))
{
    setObjectName(QStringLiteral("setup-connection-card"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (QWidget *slot : {headerSlot_, warningSlot_, failureSlot_, accountsSlot_})
        layout->addWidget(slot);
    refresh_->follow(&store, &AppStore::changed);
    refresh();
}

void SetupConnectionCard::refresh()
{
    if (!store_)
        return;
    const SetupConnectionCardModel model = SetupConnectionCardModel::derive(
        store_->googleAccounts(), store_->googleConnectionStatus(), store_->googleOAuthConfigured());
    // A section is emptied and built while its slot is hidden, so its new widgets show together
    // with the slot instead of one event-loop turn later.
    const auto rebuild = [](QWidget *slot, bool shown, const std::function<void()> &build) {
        slot->hide();
        clearLayout(slot->layout());
        if (shown)
            build();
        slot->setVisible(shown);
    };
    if (!built_ || model.header != shown_.header)
        rebuild(headerSlot_, true, [&] { buildHeader(model.header); });
    if (!built_ || model.showsWarning != shown_.showsWarning)
        rebuild(warningSlot_, model.showsWarning, [&] { buildWarning(); });
    if (!built_ || model.failureMessage != shown_.failureMessage)
        rebuild(failureSlot_, model.failureMessage.has_value(), [&] { buildFailure(model.failureMessage.value_or(QString())); });
    if (!built_ || model.accounts != shown_.accounts)
        rebuild(accountsSlot_, model.accounts.has_value(), [&] { buildAccounts(*model.accounts); });
    shown_ = model;
    built_ = true;
}

void SetupConnectionCard::buildHeader(const SetupConnectionCardModel::Header &header)
{
    auto *row = new QWidget;
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(14, 14, 14, 14);
    layout->setSpacing(12);
    layout->addWidget(new StepBadge(header.checked), 0, Qt::AlignTop);

    auto *texts = new QVBoxLayout;
    texts->setSpacing(4);
    texts->addWidget(new KVLabel(text("setup_google_calendar"), KVFont::headline(), KVColorRef(&KVPalette::text1)));
    auto *description = new KVLabel(text("setup_step_description"), KVFont::callout(), KVColorRef(&KVPalette::text3));
    description->setMaxLines(0);
    texts->addWidget(description);
    layout->addLayout(texts, 1);

    switch (header.control) {
    case SetupConnectionCardModel::StateControl::connectedPill: {
        auto *pill = new KVStatusPill(text("google_status_connected"), QStringLiteral("checkmark"), KVStatusTone::success);
        pill->setObjectName(QStringLiteral("connected-pill"));
        layout->addWidget(pill, 0, Qt::AlignTop);
        break;
    }
    case SetupConnectionCardModel::StateControl::spinner: {
        auto *progress = new QWidget;
        progress->setObjectName(QStringLiteral("connecting"));
        auto *progressLayout = new QHBoxLayout(progress);
        progressLayout->setContentsMargins(12, 5, 12, 5);
        progressLayout->setSpacing(6);
        progressLayout->addWidget(new KVSpinner(KVColorRef(&KVPalette::text2)), 0, Qt::AlignVCenter);
        progressLayout->addWidget(new KVLabel(text("google_status_connecting"), KVFont::system(12, KVFont::Weight::medium),
                                              KVColorRef(&KVPalette::text2)),
                                  0, Qt::AlignVCenter);
        layout->addWidget(progress, 0, Qt::AlignTop);
        break;
    }
    case SetupConnectionCardModel::StateControl::connectButton: {
        auto *button = new KVButton(text("connect_google"), KVButton::Style::borderedProminent, [this] { connectAccount(); });
        button->setObjectName(QStringLiteral("connect-button"));
        button->setSymbol(QStringLiteral("person.crop.circle.badge.plus"));
        button->setEnabled(header.buttonEnabled);
        layout->addWidget(button, 0, Qt::AlignTop);
        break;
    }
    }
    headerSlot_->layout()->addWidget(row);
}

void SetupConnectionCard::buildWarning()
{
    warningSlot_->layout()->addWidget(new KVInsetDivider);
    auto *band = new QWidget;
    auto *layout = new QHBoxLayout(band);
    layout->setContentsMargins(14, 10, 14, 10);
    // The fixed danger token: the same colour in both schemes.
    auto *warning = new SetupLabel(QStringLiteral("exclamationmark.triangle"), KVFont::caption().pixelSize(),
                                   text("google_oauth_not_configured"), KVFont::caption(), KVColorRef::fixed(KVDesign::danger()));
    warning->setObjectName(QStringLiteral("not-configured-warning"));
    layout->addWidget(warning);
    warningSlot_->layout()->addWidget(band);
}

void SetupConnectionCard::buildFailure(const QString &message)
{
    failureSlot_->layout()->addWidget(new KVInsetDivider);
    auto *band = new Band(KVColorRef(&KVPalette::dangerSoft));
    band->setObjectName(QStringLiteral("failure-line"));
    auto *layout = new QHBoxLayout(band);
    layout->setContentsMargins(14, 10, 14, 10);
    layout->setSpacing(8);
    const KVColorRef danger(&KVPalette::danger);
    layout->addWidget(new KVSymbol(QStringLiteral("exclamationmark.triangle"), 12, danger, KVFont::Weight::medium), 0,
                      Qt::AlignVCenter);
    // The store's message as it is: plain text, at most two lines.
    auto *label = new KVLabel(message, KVFont::system(12), danger);
    label->setObjectName(QStringLiteral("failure-message"));
    label->setMaxLines(2);
    layout->addWidget(label, 1, Qt::AlignVCenter);
    failureSlot_->layout()->addWidget(band);
}

void SetupConnectionCard::buildAccounts(const SetupConnectionCardModel::Accounts &accounts)
{
    auto *slot = accountsSlot_->layout();
    slot->addWidget(new KVInsetDivider);
    for (const GoogleAccount &account : accounts.accounts) {
        auto *row = new QWidget;
        row->setObjectName(QStringLiteral("account-row"));
        row->setAccessibleName(AccountIdentity::displayName(account));
        auto *layout = new QHBoxLayout(row);
        layout->setContentsMargins(14, 10, 14, 10);
        layout->setSpacing(10);
        layout->addWidget(new AccountAvatar(AccountIdentity::initials(account)), 0, Qt::AlignVCenter);
        auto *names = new QVBoxLayout;
        names->setSpacing(2);
        QFont titleFont = KVFont::callout();
        titleFont.setWeight(QFont::Medium);
        names->addWidget(new KVLabel(AccountIdentity::displayName(account), titleFont,
                                     KVColorRef::custom(&KVSystemColor::primaryLabel)));
        if (AccountIdentity::hasName(account)) {
            names->addWidget(new KVLabel(account.email, KVFont::footnote(),
                                         KVColorRef::custom(&KVSystemColor::secondaryLabel)));
        }
        layout->addLayout(names, 1);
        layout->addWidget(new KVStatusPill(text("google_status_connected"), KVStatusTone::success), 0, Qt::AlignVCenter);
        slot->addWidget(row);
    }
    slot->addWidget(new KVInsetDivider);

    // The whole row is the button: its label at the leading end, its padding clickable too.
    auto *add = new KVButton(text("setup_add_google_account"), KVButton::Style::plain, [this] { connectAccount(); });
    add->setObjectName(QStringLiteral("add-account-button"));
    add->setSymbol(QStringLiteral("plus"));
    QFont addFont = KVFont::callout();
    addFont.setWeight(QFont::Medium);
    add->setLabelFont(addFont);
    add->setLabelColor(KVColorRef::accent());
    add->setContentsMargins(14, 9, 14, 9);
    add->setExpanding(true, Qt::AlignLeading);
    add->setEnabled(accounts.addEnabled);
    slot->addWidget(add);
}

void SetupConnectionCard::connectAccount()
{
    if (store_)
        AccountIdentity::connectThroughBrowser(*store_);
}

} // namespace kestrivane
