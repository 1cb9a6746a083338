#include "Support/UpdateDialog.h"

#include "DesignSystem/ColorSchemeProvider.h"
#include "DesignSystem/KVButton.h"
#include "DesignSystem/KVLabel.h"
#include "DesignSystem/KestrivaneAppIconView.h"
#include "Support/AppL10n.h"
#include "Support/Browser.h"

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QVBoxLayout>

namespace kestrivane {

namespace {
constexpr int textWidth = 300;
} // namespace

UpdateDialog::UpdateDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("update-check"));
    setWindowRole(QStringLiteral("update-check"));
    setWindowTitle(AppL10n::text(QStringLiteral("update_dialog_title")));
    setAttribute(Qt::WA_DeleteOnClose);

    message_ = new KVLabel(QString(), KVFont::system(13, KVFont::Weight::semibold), KVColorRef(&KVPalette::text1), this);
    detail_ = new KVLabel(QString(), KVFont::system(12), KVColorRef(&KVPalette::text3), this);
    for (KVLabel *label : {message_, detail_}) {
        label->setMaxLines(0);
        label->setFixedWidth(textWidth);
    }
    download_ = new KVButton(AppL10n::text(QStringLiteral("update_open_download_page")), KVButton::Style::borderedProminent,
                             [this] {
                                 auto opening = openInBrowser(link_);
                                 Q_UNUSED(opening);
                                 close();
                             },
                             this);
    close_ = new KVButton(AppL10n::text(QStringLiteral("update_close")), KVButton::Style::bordered, [this] { close(); }, this);

    auto *texts = new QVBoxLayout;
    texts->setSpacing(4);
    texts->addWidget(message_);
    texts->addWidget(detail_);
    texts->addStretch(1);
    auto *top = new QHBoxLayout;
    top->setSpacing(12);
    top->addWidget(new KestrivaneAppIconView(this), 0, Qt::AlignTop);
    top->addLayout(texts);
    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    buttons->addStretch(1);
    buttons->addWidget(close_);
    buttons->addWidget(download_);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(17, 17, 20, 16);
    layout->setSpacing(14);
    layout->addLayout(top);
    layout->addLayout(buttons);
    // As large as its content, recomputed whenever a text changes.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    showChecking();
}

void UpdateDialog::showChecking()
{
    phase_ = Phase::Checking;
    setMessage(AppL10n::text(QStringLiteral("update_checking")));
}

void UpdateDialog::showUpToDate(const QString &currentVersion)
{
    phase_ = Phase::UpToDate;
    setMessage(AppL10n::format(QStringLiteral("update_up_to_date"), currentVersion));
}

void UpdateDialog::showAvailable(const AppcastItem &item)
{
    phase_ = Phase::UpdateAvailable;
    link_ = item.link;
    setMessage(AppL10n::format(QStringLiteral("update_dialog_available"), item.displayVersion),
               AppL10n::text(QStringLiteral("update_available_detail")));
}

void UpdateDialog::showFailed(const QString &message)
{
    phase_ = Phase::Failed;
    setMessage(AppL10n::format(QStringLiteral("update_check_failed"), message));
}

QString UpdateDialog::message() const
{
    return message_->text();
}

QString UpdateDialog::detail() const
{
    return detail_->text();
}

QAbstractButton *UpdateDialog::downloadButton() const
{
    return download_;
}

QAbstractButton *UpdateDialog::closeButton() const
{
    return close_;
}

void UpdateDialog::setMessage(const QString &message, const QString &detail)
{
    message_->setText(message);
    detail_->setText(detail);
    detail_->setVisible(!detail.isEmpty());
    const bool offersDownload = phase_ == Phase::UpdateAvailable && isWebURL(link_);
    download_->setVisible(offersDownload);
    if (layout())
        layout()->activate();
}

void UpdateDialog::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), kvPalette(this).window);
}

void UpdateDialog::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        (download_->isVisible() ? download_ : close_)->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace kestrivane
