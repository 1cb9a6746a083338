#include "DesignSystem/KVGrouping.h"

#include "DesignSystem/ColorSchemeProvider.h"
#include "DesignSystem/KVAccessibility.h"
#include "DesignSystem/KVButton.h"
#include "DesignSystem/KVSymbols.h"

#include <QChildEvent>
#include <QGraphicsEffect>
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

// Draws the box with its rows straight onto the target, then puts back what lay behind the four
// corners outside the rounded shape, blended by the shape's antialiased coverage: the rows are cut
// to the corners whatever lies behind the box, and only the corners cost extra.
class RoundedClip : public QGraphicsEffect {
public:
    using QGraphicsEffect::QGraphicsEffect;

protected:
    void draw(QPainter *painter) override
    {
        QPaintDevice *device = painter->device();
        const int type = device ? device->devType() : 0;
        // The window's backing store is an image; grabs and other targets take the picture road,
        // and so does a box with an effect inside: that effect opens its own painter on the target,
        // which cannot while this one paints it.
        if (type != QInternal::Image || holdsEffect(parent())) {
            drawMasked(painter);
            return;
        }
        const QRectF bounds = sourceBoundingRect(Qt::LogicalCoordinates);
        const QTransform toDevice = painter->deviceTransform();
        const QRect deviceArea(0, 0, device->width(), device->height());
        const qreal r = KVDesign::groupCornerRadius;
        const QRectF corners[] = {
            QRectF(bounds.left(), bounds.top(), r, r),
            QRectF(bounds.right() - r, bounds.top(), r, r),
            QRectF(bounds.left(), bounds.bottom() - r, r, r),
            QRectF(bounds.right() - r, bounds.bottom() - r, r, r),
        };
        const auto read = [&](const QRect &area) {
            return static_cast<QImage *>(device)->copy(area).convertToFormat(QImage::Format_ARGB32_Premultiplied);
        };
        QList<QRect> areas;
        QList<QImage> behind;
        for (const QRectF &corner : corners) {
            const QRect area = toDevice.mapRect(corner).toAlignedRect() & deviceArea;
            areas << area;
            behind << (area.isEmpty() ? QImage() : read(area));
        }
        drawSource(painter);
        const QPainterPath shape = toDevice.map(groupShape(bounds));
        for (qsizetype i = 0; i < areas.size(); ++i) {
            const QRect area = areas.at(i);
            if (area.isEmpty())
                continue;
            QImage coverage(area.size(), QImage::Format_ARGB32_Premultiplied);
            coverage.fill(Qt::transparent);
            {
                QPainter mask(&coverage);
                mask.setRenderHint(QPainter::Antialiasing);
                mask.fillPath(shape.translated(-area.topLeft()), Qt::black);
            }
            QImage drawn = read(area);
            const QImage &before = behind.at(i);
            for (int y = 0; y < drawn.height(); ++y) {
                auto *line = reinterpret_cast<QRgb *>(drawn.scanLine(y));
                const auto *under = reinterpret_cast<const QRgb *>(before.constScanLine(y));
                const auto *inside = reinterpret_cast<const QRgb *>(coverage.constScanLine(y));
                for (int x = 0; x < drawn.width(); ++x) {
                    const int a = qAlpha(inside[x]);
                    const auto mix = [a](int over, int back) { return (over * a + back * (255 - a) + 127) / 255; };
                    line[x] = qRgba(mix(qRed(line[x]), qRed(under[x])), mix(qGreen(line[x]), qGreen(under[x])),
                                    mix(qBlue(line[x]), qBlue(under[x])), mix(qAlpha(line[x]), qAlpha(under[x])));
                }
            }
            painter->save();
            painter->setCompositionMode(QPainter::CompositionMode_Source);
            painter->drawImage(toDevice.inverted().mapRect(QRectF(area)), drawn);
            painter->restore();
        }
    }

private:
    static bool holdsEffect(const QObject *object)
    {
        for (const QObject *child : object->children()) {
            if (!child->isWidgetType())
                continue;
            const auto *widget = static_cast<const QWidget *>(child);
            if ((widget->graphicsEffect() && widget->graphicsEffect()->isEnabled()) || holdsEffect(widget))
                return true;
        }
        return false;
    }

    // Where the target's pixels cannot be read: the box drawn into a picture and masked.
    void drawMasked(QPainter *painter)
    {
        QPoint offset;
        const QPixmap source = sourcePixmap(Qt::LogicalCoordinates, &offset, QGraphicsEffect::NoPad);
        if (source.isNull())
            return;
        QImage picture = source.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
        QImage mask(picture.size(), QImage::Format_ARGB32_Premultiplied);
        mask.setDevicePixelRatio(picture.devicePixelRatio());
        mask.fill(Qt::transparent);
        {
            QPainter shape(&mask);
            shape.setRenderHint(QPainter::Antialiasing);
            shape.fillPath(groupShape(sourceBoundingRect(Qt::LogicalCoordinates).translated(-offset)), Qt::black);
        }
        {
            QPainter cut(&picture);
            cut.setCompositionMode(QPainter::CompositionMode_DestinationIn);
            cut.drawImage(QPointF(0, 0), mask);
        }
        painter->drawImage(QPointF(offset), picture);
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
    // Preferred, not Maximum: a maximum would hold it at the height of its unwrapped rows.
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
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
    pressOnReturn(this);
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
