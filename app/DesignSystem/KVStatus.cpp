#include "DesignSystem/KVStatus.h"

#include "DesignSystem/ColorSchemeProvider.h"
#include "DesignSystem/KVSymbols.h"

#include <QPainter>
#include <QPainterPath>
#include <QTimer>

#include <cmath>
#include <numbers>

namespace kestrivane {

namespace {
constexpr qreal pillSymbolSize = 10;
constexpr qreal pillSpacing = 4;
constexpr int pillPaddingH = 6;
constexpr int pillPaddingV = 2;

QFont pillFont()
{
    return KVFont::system(10, KVFont::Weight::medium);
}
} // namespace

KVStatusPill::KVStatusPill(const QString &text, const QString &systemImage, KVStatusTone tone, QWidget *parent)
    : QLabel(parent), systemImage_(systemImage), tone_(tone)
{
    setTextFormat(Qt::PlainText);
    setText(text);
    setFont(pillFont());
    // It hugs its text: never wider than its hint, narrower with the text cut.
    setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
}

QSize KVStatusPill::sizeHint() const
{
    const QFontMetricsF metrics(font());
    qreal width = metrics.horizontalAdvance(text());
    if (!systemImage_.isEmpty())
        width += pillSymbolSize + pillSpacing;
    return QSize(qCeil(width) + 2 * pillPaddingH, qCeil(std::max(metrics.height(), pillSymbolSize)) + 2 * pillPaddingV);
}

QSize KVStatusPill::minimumSizeHint() const
{
    const QSize hint = sizeHint();
    const qreal symbol = systemImage_.isEmpty() ? 0 : pillSymbolSize + pillSpacing;
    return QSize(std::min(hint.width(), qCeil(symbol + 2 * pillPaddingH + QFontMetricsF(font()).horizontalAdvance(u'…'))),
                 hint.height());
}

void KVStatusPill::setOpacity(qreal opacity)
{
    opacity_ = opacity;
    update();
}

void KVStatusPill::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(opacity_);
    const KVPalette &colors = kvPalette(this);
    const QColor ink = foreground(tone_, colors);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), KVDesign::chipCornerRadius, KVDesign::chipCornerRadius);
    painter.fillPath(shape, background(tone_, colors));

    QRectF inner = QRectF(rect()).adjusted(pillPaddingH, pillPaddingV, -pillPaddingH, -pillPaddingV);
    if (!systemImage_.isEmpty()) {
        KVSymbols::paint(painter, QRectF(inner.left(), inner.center().y() - pillSymbolSize / 2, pillSymbolSize, pillSymbolSize),
                         systemImage_, ink, KVFont::Weight::semibold);
        inner.setLeft(inner.left() + pillSymbolSize + pillSpacing);
    }
    painter.setFont(font());
    painter.setPen(ink);
    const QString shown = QFontMetricsF(font()).elidedText(text(), Qt::ElideRight, inner.width());
    painter.drawText(inner, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
}

KVStatusDot::KVStatusDot(KVColorRef color, bool pulsing, QWidget *parent)
    : QWidget(parent), color_(std::move(color)), pulsing_(pulsing), timer_(new QTimer(this))
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    timer_->setInterval(33);
    connect(timer_, &QTimer::timeout, this, qOverload<>(&QWidget::update));
}

void KVStatusDot::setColor(KVColorRef color)
{
    color_ = std::move(color);
    update();
}

void KVStatusDot::setPulsing(bool pulsing)
{
    if (pulsing_ == pulsing)
        return;
    pulsing_ = pulsing;
    updateAnimation();
    update();
}

bool KVStatusDot::isAnimating() const
{
    return timer_->isActive();
}

double KVStatusDot::opacity(bool pulsing, const QDateTime &date)
{
    if (!pulsing)
        return 1;
    static const QDateTime reference(QDate(2001, 1, 1), QTime(0, 0), QTimeZone::utc());
    const double seconds = reference.msecsTo(date) / 1000.0;
    const double phase = std::fmod(seconds, 1.4) / 1.4;
    return 0.7 + 0.3 * std::sin(phase * std::numbers::pi * 2);
}

QSize KVStatusDot::sizeHint() const
{
    // The halo reaches one point beyond the 7-point dot.
    return QSize(9, 9);
}

void KVStatusDot::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(opacity(pulsing_, QDateTime::currentDateTimeUtc()));
    const QColor color = color_.resolve(this);
    const QRectF dot(QRectF(rect()).center() - QPointF(3.5, 3.5), QSizeF(7, 7));
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawEllipse(dot);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(withOpacity(color, 0.18), 2));
    painter.drawEllipse(dot);
}

void KVStatusDot::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    shown_ = true;
    updateAnimation();
}

void KVStatusDot::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    shown_ = false;
    updateAnimation();
}

void KVStatusDot::updateAnimation()
{
    const bool animate = pulsing_ && shown_ && isVisible();
    if (animate && !timer_->isActive())
        timer_->start();
    else if (!animate)
        timer_->stop();
}

} // namespace kestrivane
