#include "Views/Settings/SettingsPaneKit.h"

#include "DesignSystem/ColorSchemeProvider.h"
#include "DesignSystem/KVAccessibility.h"
#include "DesignSystem/KVButton.h"
#include "DesignSystem/KVLabel.h"
#include "DesignSystem/KVSymbols.h"

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace kestrivane {

SymbolTile::SymbolTile(int size, qreal radius, QString symbol, qreal symbolSize, KVFont::Weight weight, KVColorRef fill,
                       KVColorRef symbolColor, QWidget *parent)
    : QWidget(parent), radius_(radius), symbol_(std::move(symbol)), symbolSize_(symbolSize), weight_(weight),
      fill_(std::move(fill)), symbolColor_(std::move(symbolColor))
{
    setFixedSize(size, size);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void SymbolTile::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath tile;
    tile.addRoundedRect(QRectF(rect()), radius_, radius_);
    painter.fillPath(tile, fill_.resolve(this));
    const QRectF box(QPointF(0, 0), QSizeF(symbolSize_, symbolSize_));
    KVSymbols::paint(painter, box.translated(QRectF(rect()).center() - box.center()), symbol_, symbolColor_.resolve(this),
                     weight_);
}

PaneHeader::PaneHeader(const QString &title, QWidget *trailing, QWidget *parent) : QWidget(parent)
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 10);
    const QFont font = KVFont::system(17, KVFont::Weight::semibold);
    auto *label = new KVLabel(title, font, KVColorRef(&KVPalette::text1), this);
    label->setMaxLines(0);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setAccessibleName(title);
    auto *button = qobject_cast<KVButton *>(trailing);
    // The accessory's text stands on the title's first baseline (the label draws its first line
    // centred in a line box of the font's height): the one whose baseline is higher moves down.
    const int titleBaseline = qRound(KVFont::centredBaseline(title, font, QFontMetricsF(font).height()));
    const int shift = button ? titleBaseline - button->textBaseline() : 0;
    const auto column = [&](QWidget *widget, int stretch, int top) {
        auto *stack = new QVBoxLayout;
        stack->setContentsMargins(0, std::max(0, top), 0, 0);
        stack->addWidget(widget);
        stack->addStretch(1);
        layout->addLayout(stack, stretch);
    };
    column(label, 1, -shift);
    if (trailing) {
        trailing->setParent(this);
        if (button)
            column(trailing, 0, shift);
        else
            layout->addWidget(trailing, 0, Qt::AlignBottom);
    }
}

namespace {
constexpr int titleWidthKept = 160;
} // namespace

SettingsRow::SettingsRow(const QString &icon, KVColorRef iconBackground, KVColorRef iconColor, const QString &title,
                         QWidget *trailing, QWidget *parent)
    : QWidget(parent)
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(14, 10, 14, 10);
    layout->setSpacing(10);
    layout->addWidget(new SymbolTile(24, 6, icon, 12, KVFont::Weight::medium, std::move(iconBackground), std::move(iconColor), this));
    auto *label = new KVLabel(title, KVFont::system(13), KVColorRef(&KVPalette::text1), this);
    label->setMaxLines(0);
    // A wrapping text beside it gives way first: the title keeps one line up to this width.
    label->setMinimumWidth(std::min(label->sizeHint().width(), titleWidthKept));
    layout->addWidget(label, 1);
    layout->addSpacing(2); // 10 of spacing on each side make the 12 of at least
    if (trailing) {
        trailing->setParent(this);
        layout->addWidget(trailing, 0, Qt::AlignVCenter);
        // Screen readers read each control with the row's title: a recorder named only by its
        // shortcut, a segment by its minutes, say which setting they change.
        QList<QAbstractButton *> controls = trailing->findChildren<QAbstractButton *>();
        if (auto *button = qobject_cast<QAbstractButton *>(trailing))
            controls.prepend(button);
        for (QAbstractButton *control : controls) {
            if (control->accessibleName() != title && control->text() != title)
                KVAccessibility::setLabelledBy(control, label);
        }
    }
    setMinimumHeight(44);
}

namespace {

// One segment: its text (11, medium) on the raised fill when selected.
class Segment : public QAbstractButton {
public:
    Segment(const QString &text, QWidget *parent) : QAbstractButton(parent)
    {
        setText(text);
        setAccessibleName(text);
        setFocusPolicy(Qt::TabFocus);
        pressOnReturn(this);
        setFont(KVFont::system(11, KVFont::Weight::medium));
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        KVAccessibility::setSelected(this, false);
    }
    void setSelected(bool selected)
    {
        selected_ = selected;
        KVAccessibility::setSelected(this, selected);
        update();
    }

    QSize sizeHint() const override
    {
        const QFontMetrics metrics(font());
        return QSize(metrics.horizontalAdvance(text()) + 16, metrics.height() + 4);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const KVPalette &palette = kvPalette(this);
        if (selected_) {
            QPainterPath shape;
            shape.addRoundedRect(QRectF(rect()).adjusted(0, 0, 0, -0.5), 4, 4);
            painter.fillPath(shape.translated(0, 0.5), withOpacity(Qt::black, 0.1));
            painter.fillPath(shape, palette.surface);
        }
        painter.setPen(selected_ ? palette.text1 : palette.text3);
        painter.setFont(font());
        painter.drawText(rect(), Qt::AlignCenter, text());
    }

private:
    bool selected_ = false;
};

} // namespace

KVSegmentedControl::KVSegmentedControl(const QStringList &options, int selection, std::function<void(int)> onSelect,
                                       QWidget *parent)
    : QWidget(parent), selection_(selection)
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->setSpacing(0);
    for (int index = 0; index < options.size(); ++index) {
        auto *segment = new Segment(options[index], this);
        segment->setSelected(index == selection);
        connect(segment, &QAbstractButton::clicked, this, [onSelect, index] {
            if (onSelect)
                onSelect(index);
        });
        layout->addWidget(segment);
        segments_ << segment;
    }
    if (options.isEmpty())
        setMinimumSize(2, 2);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void KVSegmentedControl::setSelection(int index)
{
    selection_ = index;
    for (int i = 0; i < segments_.size(); ++i) {
        static_cast<Segment *>(segments_[i])->setSelected(i == index);
    }
}

void KVSegmentedControl::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const KVPalette &palette = kvPalette(this);
    QPainterPath track;
    track.addRoundedRect(QRectF(rect()), 6, 6);
    painter.fillPath(track, palette.fill1);
    QPainterPath border;
    border.addRoundedRect(QRectF(rect()).adjusted(0.25, 0.25, -0.25, -0.25), 6, 6);
    painter.strokePath(border, QPen(palette.border, 0.5));
}

QVBoxLayout *makePaneLayout(QWidget *pane)
{
    auto *layout = new QVBoxLayout(pane);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(24);
    layout->setAlignment(Qt::AlignTop);
    return layout;
}

KVLabel *addPaneHeader(QVBoxLayout *pane, PaneHeader *header, const QString &helpText)
{
    if (helpText.isEmpty()) {
        pane->addWidget(header);
        return nullptr;
    }
    auto *top = new QWidget;
    auto *stack = new QVBoxLayout(top);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(6);
    stack->addWidget(header);
    auto *help = new KVLabel(helpText, KVFont::system(12), KVColorRef(&KVPalette::text3), top);
    help->setMaxLines(0);
    stack->addWidget(help);
    pane->addWidget(top);
    return help;
}

} // namespace kestrivane
