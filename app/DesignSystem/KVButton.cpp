#include "DesignSystem/KVButton.h"

#include "DesignSystem/ColorSchemeProvider.h"
#include "DesignSystem/KVSymbols.h"
#include "DesignSystem/KVViewSupport.h"

#include <QFocusEvent>
#include <QPainter>
#include <QPainterPath>

namespace kestrivane {

namespace {
constexpr int symbolSpacing = 4;
} // namespace

QColor pressedColor(const QColor &color, ColorScheme scheme)
{
    return scheme == ColorScheme::dark ? color.lighter(112) : color.darker(112);
}

void paintFocusRing(QPainter &painter, const QWidget *widget, const QPainterPath &shape)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(withOpacity(KVDesign::accent(colorScheme(widget)), 0.5), 2));
    painter.drawPath(shape);
    painter.restore();
}

KVButton::KVButton(const QString &title, Style style, QWidget *parent) : QAbstractButton(parent), style_(style)
{
    setText(title);
    setFocusPolicy(Qt::TabFocus);
    setCursor(Qt::ArrowCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

KVButton::KVButton(const QString &title, Style style, std::function<void()> action, QWidget *parent)
    : KVButton(title, style, parent)
{
    if (action)
        connect(this, &QAbstractButton::clicked, this, [action = std::move(action)] { action(); });
}

void KVButton::setSymbol(const QString &name)
{
    symbol_ = name;
    updateGeometry();
    update();
}

void KVButton::setControlSize(ControlSize size)
{
    size_ = size;
    updateGeometry();
    update();
}

void KVButton::setTint(KVColorRef tint)
{
    tint_ = std::move(tint);
    update();
}

void KVButton::setLabelColor(KVColorRef color)
{
    labelColor_ = std::move(color);
    update();
}

void KVButton::setLabelFont(const QFont &font)
{
    labelFont_ = font;
    updateGeometry();
    update();
}

void KVButton::setSymbolSize(qreal size)
{
    symbolSize_ = size;
    updateGeometry();
    update();
}

void KVButton::setExpanding(bool expanding)
{
    expanding_ = expanding;
    setSizePolicy(expanding ? QSizePolicy::Expanding : QSizePolicy::Fixed, QSizePolicy::Fixed);
    updateGeometry();
}

void KVButton::setHelp(const QString &help)
{
    setToolTip(plainTextToolTip(help));
    if (text().isEmpty())
        setAccessibleName(help);
    setAccessibleDescription(help);
}

QFont KVButton::labelFont() const
{
    if (labelFont_)
        return *labelFont_;
    return KVFont::system(size_ == ControlSize::small ? 11 : 13);
}

QMargins KVButton::padding() const
{
    if (style_ == Style::plain)
        return {};
    const int horizontal = size_ == ControlSize::small ? 7 : 10;
    return {horizontal, 0, horizontal, 0};
}

int KVButton::controlHeight() const
{
    if (style_ == Style::plain)
        return 0;
    return size_ == ControlSize::small ? 19 : 22;
}

QSize KVButton::contentSize() const
{
    const QFontMetricsF metrics(labelFont());
    qreal width = text().isEmpty() ? 0 : metrics.horizontalAdvance(text());
    qreal height = metrics.height();
    if (!symbol_.isEmpty()) {
        const qreal side = symbolSize_ > 0 ? symbolSize_ : labelFont().pixelSize();
        width += side + (text().isEmpty() ? 0 : symbolSpacing);
        height = std::max(height, side);
    }
    return QSize(qCeil(width), qCeil(height));
}

QSize KVButton::sizeHint() const
{
    const QSize content = contentSize();
    const QMargins pad = padding();
    return QSize(content.width() + pad.left() + pad.right(), std::max(controlHeight(), content.height()));
}

QSize KVButton::minimumSizeHint() const
{
    return expanding_ ? QSize(controlHeight(), sizeHint().height()) : sizeHint();
}

void KVButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const ColorScheme scheme = colorScheme(this);
    if (!isEnabled())
        painter.setOpacity(0.4);
    const bool pressed = isDown();
    const QRectF bounds = QRectF(rect());
    const qreal radius = size_ == ControlSize::small ? 5 : 6;
    QPainterPath shape;
    shape.addRoundedRect(bounds.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);

    const QColor tint = tint_.resolve(scheme);
    QColor label;
    switch (style_) {
    case Style::borderedProminent: {
        painter.fillPath(shape, pressed ? pressedColor(tint, scheme) : tint);
        label = Qt::white;
        break;
    }
    case Style::bordered: {
        const QColor fill = scheme == ColorScheme::dark ? srgb(1, 1, 1, 0.10) : srgb(0, 0, 0, 0.06);
        painter.fillPath(shape, pressed ? pressedColor(fill.toRgb(), scheme) : fill);
        label = tint;
        break;
    }
    case Style::plain:
        label = pressed ? pressedColor(tint, scheme) : tint;
        break;
    }
    if (labelColor_) {
        label = labelColor_->resolve(scheme);
        if (pressed && style_ == Style::plain)
            label = pressedColor(label, scheme);
    }

    const QSize content = contentSize();
    const QMargins pad = padding();
    const QRectF inner = bounds.marginsRemoved(QMarginsF(pad));
    qreal x = inner.left() + (inner.width() - content.width()) / 2;
    const qreal centreY = inner.center().y();
    if (!symbol_.isEmpty()) {
        const qreal side = symbolSize_ > 0 ? symbolSize_ : labelFont().pixelSize();
        KVSymbols::paint(painter, QRectF(x, centreY - side / 2, side, side), symbol_, label, KVFont::Weight::medium);
        x += side + (text().isEmpty() ? 0 : symbolSpacing);
    }
    if (!text().isEmpty()) {
        painter.setFont(labelFont());
        painter.setPen(label);
        const QFontMetricsF metrics(labelFont());
        const qreal available = inner.right() - x;
        const QString shown = metrics.elidedText(text(), Qt::ElideRight, available);
        painter.drawText(QRectF(x, bounds.top(), available, bounds.height()), Qt::AlignLeft | Qt::AlignVCenter, shown);
    }
    if (keyboardFocus_ && hasFocus()) {
        painter.setOpacity(1);
        paintFocusRing(painter, this, shape);
    }
}

void KVButton::focusInEvent(QFocusEvent *event)
{
    keyboardFocus_ = event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason
        || event->reason() == Qt::ShortcutFocusReason;
    QAbstractButton::focusInEvent(event);
}

void KVButton::focusOutEvent(QFocusEvent *event)
{
    keyboardFocus_ = false;
    QAbstractButton::focusOutEvent(event);
}

} // namespace kestrivane
