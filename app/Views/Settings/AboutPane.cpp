#include "Views/Settings/AboutPane.h"

#include "DesignSystem/ColorSchemeProvider.h"
#include "DesignSystem/KVButton.h"
#include "DesignSystem/KVLabel.h"
#include "DesignSystem/KVViewSupport.h"
#include "DesignSystem/KestrivaneAppIconView.h"
#include "Support/AppL10n.h"
#include "Support/AppNotificationCenter.h"
#include "Support/UpdateStatusStore.h"
#include "Views/Settings/SettingsPaneKit.h"
#include "Views/Shared/MeetingViewSupport.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace kestrivane {

namespace {

// The channel's name (17, semibold, text1) and its badge (10, bold, white on an orange capsule),
// drawn as one text for screen readers.
class NameRow : public QLabel {
public:
    NameRow(const QString &name, std::optional<QString> badge, QWidget *parent)
        : QLabel(parent), name_(name), badge_(std::move(badge))
    {
        setTextFormat(Qt::PlainText);
        setText(badge_ ? name_ + u' ' + *badge_ : name_);
        setAccessibleName(text());
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    }

    QSize sizeHint() const override
    {
        const QFontMetrics name(nameFont());
        int width = name.horizontalAdvance(name_);
        if (badge_)
            width += 8 + badgeSize().width();
        return QSize(width + 1, std::max(name.height(), badgeSize().height()));
    }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        const ColorScheme scheme = colorScheme(this);
        painter.setFont(nameFont());
        painter.setPen(KVDesign::palette(scheme).text1);
        const int nameWidth = QFontMetrics(nameFont()).horizontalAdvance(name_);
        painter.drawText(QRect(0, 0, nameWidth + 1, height()), Qt::AlignVCenter | Qt::AlignLeft, name_);
        if (!badge_)
            return;
        const QSize size = badgeSize();
        const QRectF capsule(nameWidth + 8, (height() - size.height()) / 2.0, size.width(), size.height());
        QPainterPath path;
        path.addRoundedRect(capsule, capsule.height() / 2, capsule.height() / 2);
        painter.fillPath(path, KVSystemColor::orange(scheme));
        painter.setFont(badgeFont());
        painter.setPen(Qt::white);
        painter.drawText(capsule, Qt::AlignCenter, *badge_);
    }

private:
    static QFont nameFont() { return KVFont::system(17, KVFont::Weight::semibold); }
    static QFont badgeFont() { return KVFont::system(10, KVFont::Weight::bold); }
    QSize badgeSize() const
    {
        if (!badge_)
            return {};
        const QFontMetrics metrics(badgeFont());
        return QSize(metrics.horizontalAdvance(*badge_) + 12, metrics.height() + 4);
    }

    QString name_;
    std::optional<QString> badge_;
};

// The icon tile of the pane's channel.
class ChannelIcon : public QWidget {
public:
    ChannelIcon(AppBuildChannel channel, QWidget *parent) : QWidget(parent), channel_(channel) { setFixedSize(48, 48); }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        KestrivaneAppIcon::paint(painter, QRectF(rect()).adjusted(0, 0, 0, -1), colorScheme(this), channel_);
    }

private:
    AppBuildChannel channel_;
};

} // namespace

AboutPane::AboutPane(UpdateStatusStore &updateStatus, AppBuildChannel buildChannel, const BundleInfo &info, QWidget *parent)
    : QWidget(parent), updateStatus_(&updateStatus), refresh_(new KVDeferredRefresh(this, [this] { refresh(); }))
{
    QVBoxLayout *pane = makePaneLayout(this);
    addPaneHeader(pane, new PaneHeader(AppL10n::text(QStringLiteral("settings_section_about"))));

    auto *identity = new QWidget;
    auto *row = new QHBoxLayout(identity);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(14);
    row->addWidget(new ChannelIcon(buildChannel, identity), 0, Qt::AlignVCenter);

    auto *column = new QVBoxLayout;
    column->setSpacing(4);
    auto *name = new NameRow(buildChannel.displayName(), buildChannel.badgeText(), identity);
    name->setObjectName(QStringLiteral("nameRow"));
    column->addWidget(name);
    if (!buildChannel.isRelease()) {
        column->addWidget(new KVLabel(AppL10n::systemText(QStringLiteral("Development build")),
                                      KVFont::system(11, KVFont::Weight::medium),
                                      KVColorRef::custom([](ColorScheme scheme) { return KVSystemColor::orange(scheme); }), identity));
    }
    auto *privacy = new KVLabel(AppL10n::text(QStringLiteral("setup_privacy_short")), KVFont::system(12),
                                KVColorRef(&KVPalette::text3), identity);
    privacy->setMaxLines(0);
    column->addWidget(privacy);
    auto *version = new KVLabel(AppL10n::format(QStringLiteral("settings_about_version"), appVersion(info)), KVFont::system(11),
                                KVColorRef(&KVPalette::text4), identity);
    version->setObjectName(QStringLiteral("version"));
    column->addWidget(version);

    updateRow_ = new QWidget(identity);
    auto *updateLine = new QHBoxLayout(updateRow_);
    updateLine->setContentsMargins(0, 4, 0, 0);
    update_ = new KVButton(QString(), KVButton::Style::borderedProminent,
                           [] { AppNotificationCenter::defaultCenter().post(AppNotificationCenter::checkForUpdates); }, updateRow_);
    update_->setSymbol(QStringLiteral("sparkles"));
    update_->setControlSize(KVButton::ControlSize::small);
    update_->setLabelFont(KVFont::system(12, KVFont::Weight::medium));
    update_->setObjectName(QStringLiteral("update"));
    updateLine->addWidget(update_);
    updateLine->addStretch(1);
    column->addWidget(updateRow_);

    auto *feedback = new KVButton(AppL10n::text(QStringLiteral("send_feedback")), KVButton::Style::bordered,
                                  [] { openFeedbackFormInBrowser(); }, identity);
    feedback->setControlSize(KVButton::ControlSize::small);
    feedback->setLabelFont(KVFont::system(12, KVFont::Weight::medium));
    feedback->setObjectName(QStringLiteral("feedback"));
    column->addSpacing(4);
    column->addWidget(feedback, 0, Qt::AlignLeft);
    row->addLayout(column, 1);
    pane->addWidget(identity);

    refresh_->follow(&updateStatus, &UpdateStatusStore::changed);
    refresh();
}

QString AboutPane::appVersion(const BundleInfo &info)
{
    const QString shortVersion = info.shortVersion();
    const QString build = info.buildNumber();
    if (!shortVersion.isEmpty() && !build.isEmpty())
        return shortVersion + QStringLiteral(" (") + build + u')';
    if (!shortVersion.isEmpty())
        return shortVersion;
    if (!build.isEmpty())
        return build;
    return QStringLiteral("-");
}

void AboutPane::refresh()
{
    const std::optional<QString> available = updateStatus_ ? updateStatus_->availableVersion() : std::nullopt;
    update_->setText(available ? AppL10n::format(QStringLiteral("update_available_version"), *available)
                               : AppL10n::text(QStringLiteral("update_available")));
    update_->setAccessibleName(update_->text());
    updateRow_->setVisible(available.has_value());
}

} // namespace kestrivane
