#include "Support/UpdateDialog.h"

#include "Support/AppL10n.h"
#include "Support/Browser.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace kestrivane {

UpdateDialog::UpdateDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("update-check"));
    setWindowRole(QStringLiteral("update-check"));
    setWindowTitle(AppL10n::text(QStringLiteral("update_dialog_title")));
    setAttribute(Qt::WA_DeleteOnClose);

    message_ = new QLabel(this);
    detail_ = new QLabel(this);
    for (QLabel *label : {message_, detail_}) {
        label->setTextFormat(Qt::PlainText);
        label->setWordWrap(true);
    }
    QFont bold = message_->font();
    bold.setBold(true);
    message_->setFont(bold);

    auto *buttons = new QDialogButtonBox(this);
    download_ = buttons->addButton(AppL10n::text(QStringLiteral("update_open_download_page")), QDialogButtonBox::AcceptRole);
    close_ = buttons->addButton(AppL10n::text(QStringLiteral("update_close")), QDialogButtonBox::RejectRole);
    connect(download_, &QPushButton::clicked, this, [this] {
        auto opening = openInBrowser(link_);
        Q_UNUSED(opening);
        close();
    });
    connect(close_, &QPushButton::clicked, this, &QDialog::close);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(message_);
    layout->addWidget(detail_);
    layout->addStretch();
    layout->addWidget(buttons);
    setMinimumWidth(360);
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

void UpdateDialog::setMessage(const QString &message, const QString &detail)
{
    message_->setText(message);
    detail_->setText(detail);
    detail_->setVisible(!detail.isEmpty());
    download_->setVisible(phase_ == Phase::UpdateAvailable && isWebURL(link_));
    close_->setDefault(phase_ != Phase::UpdateAvailable);
}

} // namespace kestrivane
