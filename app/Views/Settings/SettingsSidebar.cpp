#include "Views/Settings/SettingsSidebar.h"

#include "DesignSystem/ColorSchemeProvider.h"
#include "DesignSystem/KVAccessibility.h"
#include "DesignSystem/KVButton.h"
#include "DesignSystem/KVSymbols.h"
#include "Support/AppL10n.h"

#include "Views/Settings/SettingsPaneKit.h"

#include <QFocusEvent>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace kestrivane {

namespace {

constexpr int tileSize = 18;
constexpr int spacing = 9;
const QMargins padding(8, 5, 8, 5);

QFont rowFont(bool selected)
{
    return KVFont::system(13, selected ? KVFont::Weight::semibold : KVFont::Weight::medium);
}

} // namespace

KVSidebarRow::KVSidebarRow(SettingsSection section, const QString &label, const QString &systemImage, KVColorRef tile,
                           QWidget *parent)
    : QAbstractButton(parent), section_(section), systemImage_(systemImage), tile_(std::move(tile))
{
    setText(label);
    setAccessibleName(label);
    setFocusPolicy(Qt::TabFocus);
    attachKeyboardFocusRing(this, 6);
    pressOnReturn(this);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    KVAccessibility::setSelected(this, false);
}

void KVSidebarRow::setSelected(bool selected)
{
    if (selected_ == selected)
        return;
    selected_ = selected;
    KVAccessibility::setSelected(this, selected);
    update();
}

QSize KVSidebarRow::sizeHint() const
{
    const QFontMetrics metrics(rowFont(true));
    const int height = std::max(tileSize, metrics.height()) + padding.top() + padding.bottom();
    return QSize(padding.left() + tileSize + spacing + metrics.horizontalAdvance(text()) + padding.right(), height);
}

QSize KVSidebarRow::minimumSizeHint() const
{
    return QSize(padding.left() + tileSize + padding.right(), sizeHint().height());
}

void KVSidebarRow::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const KVPalette &palette = kvPalette(this);
    QPainterPath band;
    band.addRoundedRect(QRectF(rect()), 6, 6);
    if (selected_)
        painter.fillPath(band, palette.brandSoft);

    const QRectF tile(padding.left(), (height() - tileSize) / 2.0, tileSize, tileSize);
    QPainterPath tileShape;
    tileShape.addRoundedRect(tile, 5, 5);
    painter.fillPath(tileShape, tile_.resolve(this));
    KVSymbols::paint(painter, QRectF(tile.center() - QPointF(5, 5), QSizeF(10, 10)), systemImage_, Qt::white,
                     KVFont::Weight::semibold);

    const QFont font = rowFont(selected_);
    painter.setFont(font);
    painter.setPen(selected_ ? palette.text1 : palette.text2);
    const QRectF textBox(tile.right() + spacing, 0, width() - tile.right() - spacing - padding.right(), height());
    painter.drawText(textBox, Qt::AlignVCenter | Qt::AlignLeft,
                     QFontMetrics(font).elidedText(text(), Qt::ElideRight, static_cast<int>(textBox.width())));
}

KVSettingsSidebar::KVSettingsSidebar(SettingsSection selected, std::function<void(SettingsSection)> select, QWidget *parent)
    : QWidget(parent)
{
    struct Row {
        SettingsSection section;
        const char *key;
        const char *symbol;
        KVColorRef tile;
    };
    const QList<Row> table{
        {SettingsSection::accounts, "settings_section_accounts", "person.fill", KVColorRef::accent()},
        {SettingsSection::calendars, "settings_section_calendars", "calendar", KVColorRef::fixed(srgb(0.478, 0.62, 0.537))},
        {SettingsSection::notifications, "settings_section_notifications", "bell.fill", KVColorRef::fixed(KVDesign::bell())},
        {SettingsSection::shortcuts, "settings_section_shortcuts", "keyboard", KVColorRef::fixed(srgb(0.431, 0.502, 0.675))},
        {SettingsSection::about, "settings_section_about", "info", KVColorRef::fixed(srgb(0.557, 0.557, 0.576))},
    };
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 24, 10, 0);
    layout->setSpacing(2);
    for (const Row &row : table) {
        auto *button = new KVSidebarRow(row.section, AppL10n::text(QString::fromLatin1(row.key)), QString::fromLatin1(row.symbol),
                                        row.tile, this);
        connect(button, &QAbstractButton::clicked, this, [select, section = row.section] {
            if (select)
                select(section);
        });
        layout->addWidget(button);
        rows_ << button;
    }
    layout->addStretch(1);
    setSelected(selected);
}

void KVSettingsSidebar::setSelected(SettingsSection section)
{
    for (KVSidebarRow *row : std::as_const(rows_))
        row->setSelected(row->section() == section);
}

void KVSettingsSidebar::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const ColorScheme scheme = colorScheme(this);
    const KVPalette &palette = KVDesign::palette(scheme);
    painter.fillRect(rect(), palette.window);
    painter.fillRect(rect(), withOpacity(palette.surface2, scheme == ColorScheme::dark ? 0.25 : 0.55));
}

} // namespace kestrivane
