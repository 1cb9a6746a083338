#include "DesignSystem/KVGrouping.h"

#include "DesignSystem/ColorSchemeProvider.h"
#include "DesignSystem/KVAccessibility.h"
#include "DesignSystem/KVButton.h"
#include "DesignSystem/KVSymbols.h"

#include <QChildEvent>
#include <QGraphicsEffect>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace kestrivane {

namespace {

QPainterPath groupShape(const QRectF &bounds)
{
    QPainterPath path;
    path.addRoundedRect(bounds, KVDesign::groupCornerRadius, KVDesign::groupCornerRadius);
    return path;
}

// Draws the box with its rows through an antialiased rounded mask.
class RoundedClip : public QGraphicsEffect {
public:
    using QGraphicsEffect::QGraphicsEffect;

protected:
    void draw(QPainter *painter) override
    {
        // Only the part being painted counts: a long box in a scroll area costs what shows.
        const QRectF bounds = sourceBoundingRect(Qt::LogicalCoordinates);
        QRectF area = bounds;
        if (QPaintEngine *engine = painter->paintEngine(); engine && !engine->systemClip().isEmpty()) {
            const qreal deviceRatio = painter->device() ? painter->device()->devicePixelRatio() : 1;
            const QRectF exposed = QRectF(engine->systemClip().boundingRect());
            area &= painter->worldTransform().inverted().mapRect(
                QRectF(exposed.topLeft() / deviceRatio, exposed.size() / deviceRatio));
        }
        if (painter->hasClipping())
            area &= painter->clipBoundingRect();
        if (area.isEmpty())
            return;
        // Away from the corners the mask lets everything through: the rows are drawn as they are.
        const qreal corner = KVDesign::groupCornerRadius + 1;
        const QSizeF square(corner, corner);
        const bool touchesCorner = area.intersects(QRectF(bounds.topLeft(), square))
                                   || area.intersects(QRectF(bounds.topRight() - QPointF(corner, 0), square))
                                   || area.intersects(QRectF(bounds.bottomLeft() - QPointF(0, corner), square))
                                   || area.intersects(QRectF(bounds.bottomRight() - QPointF(corner, corner), square));
        if (!touchesCorner) {
            drawSource(painter);
            return;
        }

        QPoint offset;
        const QPixmap source = sourcePixmap(Qt::LogicalCoordinates, &offset, QGraphicsEffect::NoPad);
        if (source.isNull())
            return;
        const qreal ratio = source.devicePixelRatio();
        const QRect pixels = QRectF((area.topLeft() - QPointF(offset)) * ratio, area.size() * ratio).toAlignedRect() & source.rect();
        if (pixels.isEmpty())
            return;
        QImage picture = source.copy(pixels).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
        picture.setDevicePixelRatio(ratio);
        const QPointF origin = QPointF(offset) + QPointF(pixels.topLeft()) / ratio;
        QImage mask(picture.size(), QImage::Format_ARGB32_Premultiplied);
        mask.setDevicePixelRatio(ratio);
        mask.fill(Qt::transparent);
        {
            QPainter shape(&mask);
            shape.setRenderHint(QPainter::Antialiasing);
            shape.translate(-origin);
            shape.fillPath(groupShape(bounds), Qt::black);
        }
        {
            QPainter cut(&picture);
            cut.setCompositionMode(QPainter::CompositionMode_DestinationIn);
            cut.drawImage(QPointF(0, 0), mask);
        }
        painter->drawImage(origin, picture);
    }
};

} // namespace

// Drawn over the rows: the border, inside the shape's edge.
class KVGroupBox::Frame : public QWidget {
public:
    explicit Frame(KVGroupBox *box) : QWidget(box), box_(box)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF bounds = QRectF(rect());
        painter.setPen(QPen(kvPalette(this).border, 0.5));
        painter.setBrush(Qt::NoBrush);
        // The outer half of the stroke falls outside the shape and is not drawn.
        painter.drawPath(groupShape(bounds.adjusted(0.25, 0.25, -0.25, -0.25)));
    }

private:
    KVGroupBox *box_;
};

KVGroupBox::KVGroupBox(QWidget *parent) : QWidget(parent)
{
    // In the body: creating the layout announces a child, and childEvent() reads frame_.
    layout_ = new QVBoxLayout(this);
    frame_ = new Frame(this);
    layout_->setContentsMargins(0, 0, 0, 0);
    layout_->setSpacing(0);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    setGraphicsEffect(new RoundedClip(this));
}

void KVGroupBox::addRow(QWidget *row)
{
    layout_->addWidget(row);
    frame_->raise();
}

void KVGroupBox::setOutsideColor(KVColorRef color)
{
    outside_ = std::move(color);
    update();
}

void KVGroupBox::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(groupShape(QRectF(rect())), kvPalette(this).surface);
}

void KVGroupBox::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    frame_->setGeometry(rect());
    frame_->raise();
}

void KVGroupBox::childEvent(QChildEvent *event)
{
    QWidget::childEvent(event);
    if (event->added() && frame_ && event->child() != frame_)
        frame_->raise();
}

KVInsetDivider::KVInsetDivider(int leading, int trailing, QWidget *parent)
    : QWidget(parent), leading_(leading), trailing_(trailing)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFixedHeight(1);
}

void KVInsetDivider::setColor(KVColorRef color)
{
    color_ = std::move(color);
    update();
}

QSize KVInsetDivider::sizeHint() const
{
    return QSize(leading_ + trailing_, 1);
}

void KVInsetDivider::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const int right = width() - trailing_;
    if (right > leading_)
        painter.fillRect(QRect(leading_, 0, right - leading_, 1), withOpacity(color_.resolve(this), 0.5));
}

KVRule::KVRule(Qt::Orientation orientation, KVColorRef color, QWidget *parent, qreal thickness)
    : QWidget(parent), orientation_(orientation), color_(std::move(color)), thickness_(thickness)
{
    const int pixels = std::max(1, qRound(thickness));
    if (orientation == Qt::Horizontal) {
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        setFixedHeight(pixels);
    } else {
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
        setFixedWidth(pixels);
    }
}

QSize KVRule::sizeHint() const
{
    const int pixels = std::max(1, qRound(thickness_));
    return orientation_ == Qt::Horizontal ? QSize(1, pixels) : QSize(pixels, 1);
}

void KVRule::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const qreal alpha = thickness_ < 1 ? thickness_ : 1;
    painter.fillRect(rect(), withOpacity(color_.resolve(this), alpha));
}

namespace {
constexpr qreal footerSymbolSize = 14;
constexpr int footerSpacing = 3;
constexpr int footerPaddingV = 6;

QFont footerFont()
{
    return KVFont::system(10, KVFont::Weight::medium);
}
} // namespace

KVFooterIconButton::KVFooterIconButton(const QString &title, const QString &systemImage, bool destructive,
                                       std::function<void()> action, QWidget *parent)
    : QAbstractButton(parent), systemImage_(systemImage), destructive_(destructive)
{
    KVAccessibility::install();
    setText(title);
    setFocusPolicy(Qt::TabFocus);
    attachKeyboardFocusRing(this, 6);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    if (action)
        connect(this, &QAbstractButton::clicked, this, [action = std::move(action)] { action(); });
}

QSize KVFooterIconButton::sizeHint() const
{
    const QFontMetricsF metrics(footerFont());
    return QSize(qCeil(metrics.horizontalAdvance(text())) + 8,
                 qCeil(footerSymbolSize + footerSpacing + metrics.height()) + 2 * footerPaddingV);
}

QSize KVFooterIconButton::minimumSizeHint() const
{
    return QSize(qCeil(footerSymbolSize) + 8, sizeHint().height());
}

void KVFooterIconButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const ColorScheme scheme = colorScheme(this);
    const KVPalette &colors = KVDesign::palette(scheme);
    QColor ink = destructive_ ? colors.danger : colors.text2;
    if (isDown())
        ink = pressedColor(ink, scheme);
    if (!isEnabled())
        painter.setOpacity(0.4);
    const QRectF bounds = QRectF(rect()).adjusted(0, footerPaddingV, 0, -footerPaddingV);
    KVSymbols::paint(painter, QRectF(bounds.center().x() - footerSymbolSize / 2, bounds.top(), footerSymbolSize, footerSymbolSize),
                     systemImage_, ink, KVFont::Weight::medium);
    const QFont font = footerFont();
    const QFontMetricsF metrics(font);
    // One line that shrinks down to three quarters of its size before it is cut.
    const qreal natural = metrics.horizontalAdvance(text());
    const qreal scale = natural > bounds.width() && natural > 0 ? std::max(0.75, bounds.width() / natural) : 1.0;
    const QRectF caption(bounds.left(), bounds.top() + footerSymbolSize + footerSpacing, bounds.width(), metrics.height());
    painter.save();
    painter.translate(caption.center());
    painter.scale(scale, scale);
    const QRectF scaled(-caption.width() / scale / 2, -caption.height() / 2, caption.width() / scale, caption.height());
    painter.setFont(font);
    painter.setPen(ink);
    painter.drawText(scaled, Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextSingleLine,
                     metrics.elidedText(text(), Qt::ElideRight, scaled.width()));
    painter.restore();
}

} // namespace kestrivane
