#include "DesignSystem/KVSymbols.h"

#include "DesignSystem/ColorSchemeProvider.h"
#include "Support/BundleInfo.h"

#include <QCache>
#include <QFile>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QRegularExpression>
#include <QSvgRenderer>

#include <cmath>
#include <limits>
#include <numbers>

namespace kestrivane {

namespace KVSymbols {

namespace {

// Symbol names are dotted lower-case words; anything else (a path, an empty name) names nothing.
bool isSymbolName(const QString &name)
{
    static const QRegularExpression grammar(QStringLiteral("^[a-z0-9]+(\\.[a-z0-9]+)*$"));
    return grammar.match(name).hasMatch();
}

QString resourcePath(const QString &name)
{
    return BundleInfo::resourceRoot + QStringLiteral("/icons/") + name + QStringLiteral(".svg");
}

qreal strokeWidth(KVFont::Weight weight)
{
    switch (weight) {
    case KVFont::Weight::regular: return 1.5;
    case KVFont::Weight::medium: return 1.75;
    case KVFont::Weight::semibold: return 2;
    case KVFont::Weight::bold: return 2.25;
    }
    return 1.5;
}

// Below this side in device pixels an icon is drawn small: its "small" group replaces its "large"
// one (an icon may draw a simpler shape for small sizes).
constexpr int smallSide = 16;
// Strokes thinner than this, in device pixels, are drawn at least one pixel wide and on the pixel
// grid; thicker ones reach their full colour as they are.
constexpr qreal hintedStrokeLimit = 4;
// Filled figures smaller than this, in device pixels, are fitted to whole pixels as a whole.
constexpr qreal dotLimit = 4;

// The SVG text with the weight's line width on every stroke that the icon marks as the symbol's
// own (stroke-width="var"); other strokes keep theirs. Of the groups <g class="small"> and
// <g class="large">, only the one for the size is kept.
QByteArray svgSource(const QString &name, KVFont::Weight weight, bool small)
{
    QFile file(resourcePath(name));
    if (!isSymbolName(name) || !file.open(QIODevice::ReadOnly))
        return {};
    QByteArray source = file.readAll();
    source.replace("stroke-width=\"var\"", "stroke-width=\"" + QByteArray::number(strokeWidth(weight)) + '"');
    static const QRegularExpression smallGroup(QStringLiteral(R"(<g class="small">.*?</g>)"),
                                               QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression largeGroup(QStringLiteral(R"(<g class="large">.*?</g>)"),
                                               QRegularExpression::DotMatchesEverythingOption);
    return QString::fromUtf8(source).remove(small ? largeGroup : smallGroup).toUtf8();
}

// One shape of an icon as the SVG renderer draws it, in device pixels.
struct Shape {
    QPainterPath path;
    bool filled = false;
    QPen pen;  // Qt::NoPen: not stroked; the width in device pixels
};

// A paint engine that keeps the shapes drawn on it instead of drawing them.
class ShapeRecorder : public QPaintEngine {
public:
    ShapeRecorder() : QPaintEngine(QPaintEngine::AllFeatures) {}

    std::vector<Shape> shapes;

    bool begin(QPaintDevice *) override { return true; }
    bool end() override { return true; }
    void updateState(const QPaintEngineState &) override {}
    Type type() const override { return QPaintEngine::User; }
    void drawPixmap(const QRectF &, const QPixmap &, const QRectF &) override {}

    void drawPath(const QPainterPath &path) override { record(path, state->brush().style() != Qt::NoBrush); }

    void drawPolygon(const QPointF *points, int count, PolygonDrawMode mode) override
    {
        QPainterPath path;
        path.addPolygon(QPolygonF(QList<QPointF>(points, points + count)));
        if (mode != PolylineMode)
            path.closeSubpath();
        path.setFillRule(mode == WindingMode ? Qt::WindingFill : Qt::OddEvenFill);
        record(path, mode != PolylineMode && state->brush().style() != Qt::NoBrush);
    }

private:
    void record(const QPainterPath &path, bool filled)
    {
        const QTransform transform = state->transform();
        QPen pen = state->pen();
        if (pen.style() != Qt::NoPen && !pen.isCosmetic())
            pen.setWidthF(pen.widthF() * std::sqrt(std::abs(transform.determinant())));
        shapes.push_back({transform.map(path), filled, pen});
    }
};

// A paint device of `side` pixels whose painting is recorded as shapes.
class ShapeRecording : public QPaintDevice {
public:
    explicit ShapeRecording(int side) : side_(side) {}
    QPaintEngine *paintEngine() const override { return &recorder_; }
    std::vector<Shape> &shapes() { return recorder_.shapes; }

protected:
    int metric(PaintDeviceMetric metric) const override
    {
        switch (metric) {
        case PdmWidth:
        case PdmHeight: return side_;
        case PdmWidthMM:
        case PdmHeightMM: return qRound(side_ * 25.4 / 96);
        case PdmDpiX:
        case PdmDpiY:
        case PdmPhysicalDpiX:
        case PdmPhysicalDpiY: return 96;
        case PdmDepth: return 32;
        case PdmNumColors: return std::numeric_limits<int>::max();
        case PdmDevicePixelRatio: return 1;
        case PdmDevicePixelRatioScaled: return qRound(devicePixelRatioFScale());
        }
        return 0;
    }

private:
    int side_;
    mutable ShapeRecorder recorder_;
};

// `path` hinted to the pixel grid shifted by `offset` (0: pixel corners, 0.5: pixel centres), the
// way type is: a point where the outline runs horizontally moves up or down to the grid, one where
// it runs vertically left or right, so straight edges and the extremes of curves lie on it; with
// `corners`, also the corners and the ends of open figures, wholly. A curve's control points move
// with the point they leave from or arrive at, so curves keep their shape.
QPainterPath snappedToGrid(QPainterPath path, qreal offset, bool corners)
{
    const auto at = [&path](int i) { return QPointF(path.elementAt(i).x, path.elementAt(i).y); };
    const auto horizontal = [](QPointF d) { return std::abs(d.x()) > 1e-6 && std::abs(d.y()) <= 0.05 * std::abs(d.x()); };
    const auto vertical = [](QPointF d) { return std::abs(d.y()) > 1e-6 && std::abs(d.x()) <= 0.05 * std::abs(d.y()); };
    const auto snap = [offset](qreal v) { return std::round(v - offset) + offset - v; };
    const int count = path.elementCount();
    std::vector<QPointF> shifts(static_cast<size_t>(count));
    for (int first = 0; first < count;) {
        int last = first + 1;
        while (last < count && !path.elementAt(last).isMoveTo())
            ++last;
        // The figure's points on the outline, and the directions the outline arrives and leaves in.
        std::vector<int> points;
        for (int i = first; i < last; ++i) {
            if (path.elementAt(i).isCurveTo())
                i += 2;
            points.push_back(std::min(i, last - 1));
        }
        const auto arriving = [&](int i) -> QPointF {
            if (i == first)
                return {};
            for (int j = i - 1; j >= first; --j) {
                if (at(j) != at(i))
                    return at(i) - at(j);
                if (!path.elementAt(j).isCurveTo() && path.elementAt(j).type != QPainterPath::CurveToDataElement)
                    break;
            }
            return {};
        };
        const auto leaving = [&](int i) -> QPointF {
            for (int j = i + 1; j < last && j <= i + 3; ++j) {
                if (at(j) != at(i))
                    return at(j) - at(i);
            }
            return {};
        };
        const bool closed = points.size() > 2 && at(points.front()) == at(points.back());
        const size_t n = points.size();
        for (size_t k = 0; k < n; ++k) {
            const int i = points[k];
            QPointF in = arriving(i);
            QPointF out = leaving(i);
            if (closed && k == 0)
                in = arriving(points.back());
            if (closed && k == n - 1)
                out = leaving(points.front());
            const bool end = in.isNull() || out.isNull();
            const qreal turn = end ? 0 : std::abs(std::atan2(in.x() * out.y() - in.y() * out.x(), in.x() * out.x() + in.y() * out.y()));
            const bool corner = corners && (end || turn > std::numbers::pi / 9);
            const QPointF point = at(i);
            shifts[size_t(i)] = QPointF(vertical(in) || vertical(out) || corner ? snap(point.x()) : 0,
                                        horizontal(in) || horizontal(out) || corner ? snap(point.y()) : 0);
        }
        if (closed)
            shifts[size_t(points.back())] = shifts[size_t(points.front())];
        // Control points follow their ends.
        for (int i = first; i < last; ++i) {
            if (!path.elementAt(i).isCurveTo() || i + 2 >= last)
                continue;
            shifts[size_t(i)] = i > first ? shifts[size_t(i - 1)] : QPointF();
            shifts[size_t(i + 1)] = shifts[size_t(i + 2)];
            i += 2;
        }
        first = last;
    }
    for (int i = 0; i < count; ++i)
        path.setElementPositionAt(i, path.elementAt(i).x + shifts[size_t(i)].x(), path.elementAt(i).y + shifts[size_t(i)].y());
    return path;
}

// The closed or open figures of `path`, each a path of its own.
QList<QPainterPath> figures(const QPainterPath &path)
{
    QList<QPainterPath> result;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element element = path.elementAt(i);
        if (element.isMoveTo() || result.isEmpty()) {
            result.append(QPainterPath(element));
        } else if (element.isLineTo()) {
            result.last().lineTo(element);
        } else if (element.isCurveTo() && i + 2 < path.elementCount()) {
            result.last().cubicTo(element, path.elementAt(i + 1), path.elementAt(i + 2));
            i += 2;
        }
    }
    return result;
}

// A filled shape on the pixel grid: its points on pixel corners; a figure smaller than `dotLimit`
// (a dot) fitted to a box of whole pixels where it was, and one of one or two pixels filling them.
QPainterPath hintedFill(const QPainterPath &path)
{
    QPainterPath result;
    result.setFillRule(path.fillRule());
    for (const QPainterPath &figure : figures(path)) {
        const QRectF bounds = figure.boundingRect();
        if (bounds.width() >= dotLimit || bounds.height() >= dotLimit) {
            result.addPath(snappedToGrid(figure, 0, false));
            continue;
        }
        const qreal width = std::max(1.0, std::round(bounds.width()));
        const qreal height = std::max(1.0, std::round(bounds.height()));
        const QRectF box(std::round(bounds.center().x() - width / 2), std::round(bounds.center().y() - height / 2), width, height);
        if ((width <= 2 && height <= 2) || bounds.width() <= 0 || bounds.height() <= 0) {
            result.addRect(box);
            continue;
        }
        const QTransform fit = QTransform::fromTranslate(-bounds.left(), -bounds.top())
                               * QTransform::fromScale(width / bounds.width(), height / bounds.height())
                               * QTransform::fromTranslate(box.left(), box.top());
        result.addPath(fit.map(figure));
    }
    return result;
}

// The area `pen` covers along `path`, to be filled: the raster engine's own thin-line drawing
// would spread a one-pixel line over two pixels.
QPainterPath outline(const QPainterPath &path, const QPen &pen)
{
    QPainterPathStroker stroker(pen);
    return stroker.createStroke(path);
}

// Draws the recorded shapes in black: fills on the pixel grid; thin strokes at least a pixel wide,
// their middle where the most pixels lie wholly inside them (on pixel centres for an odd number of
// whole pixels, on pixel borders for an even one).
void drawHinted(QPainter &painter, const std::vector<Shape> &shapes, bool small)
{
    for (const Shape &shape : shapes) {
        if (shape.filled)
            painter.fillPath(hintedFill(shape.path), Qt::black);
        if (shape.pen.style() == Qt::NoPen)
            continue;
        QPen pen = shape.pen;
        pen.setColor(Qt::black);
        pen.setCosmetic(false);
        if (pen.widthF() < hintedStrokeLimit) {
            const qreal width = std::max(1.0, pen.widthF());
            pen.setWidthF(width);
            // Drawn small, a mitred corner fills the pixel it turns in.
            if (small)
                pen.setJoinStyle(Qt::MiterJoin);
            const QPainterPath snapped = snappedToGrid(shape.path, int(std::floor(width)) % 2 ? 0.5 : 0, true);
            painter.fillPath(outline(snapped, pen), Qt::black);
            // A short dash the grid shrank to a point stays a dot of the stroke's width.
            for (const QPainterPath &figure : figures(snapped)) {
                const QRectF bounds = figure.boundingRect();
                if (bounds.isNull())
                    painter.fillRect(QRectF(bounds.topLeft() - QPointF(width / 2, width / 2), QSizeF(width, width)), Qt::black);
            }
        } else {
            painter.fillPath(outline(shape.path, pen), Qt::black);
        }
    }
}

} // namespace

bool exists(const QString &name)
{
    return isSymbolName(name) && QFile::exists(resourcePath(name));
}

QImage image(const QString &name, qreal size, const QColor &color, KVFont::Weight weight, qreal devicePixelRatio)
{
    if (size <= 0 || devicePixelRatio <= 0)
        return {};
    static QCache<QString, QImage> cache(400);
    const QString key = QStringLiteral("%1|%2|%3|%4|%5")
                            .arg(name)
                            .arg(size)
                            .arg(color.rgba64().toArgb32())
                            .arg(static_cast<int>(weight))
                            .arg(devicePixelRatio);
    if (QImage *cached = cache.object(key))
        return *cached;

    const int side = std::max(1, qRound(size * devicePixelRatio));
    const bool small = side < smallSide;
    const QByteArray source = svgSource(name, weight, small);
    if (source.isEmpty())
        return {};
    QSvgRenderer renderer(source);
    if (!renderer.isValid())
        return {};
    ShapeRecording recording(side);
    {
        QPainter recorder(&recording);
        renderer.render(&recorder, QRectF(0, 0, side, side));
    }
    QImage picture(side, side, QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    {
        QPainter painter(&picture);
        painter.setRenderHint(QPainter::Antialiasing);
        drawHinted(painter, recording.shapes(), small);
        // Recolour: keep the icon's coverage, take the colour.
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(picture.rect(), color);
    }
    picture.setDevicePixelRatio(devicePixelRatio);
    cache.insert(key, new QImage(picture));
    return picture;
}

void paint(QPainter &painter, const QRectF &box, const QString &name, const QColor &color, KVFont::Weight weight)
{
    const qreal side = std::min(box.width(), box.height());
    if (side <= 0)
        return;
    const qreal dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QImage picture = image(name, side, color, weight, dpr);
    if (picture.isNull())
        return;
    QRectF target(box.center().x() - side / 2, box.center().y() - side / 2, side, side);
    // On the device's pixel grid, so the picture's pixels are not spread over two.
    const QTransform transform = painter.deviceTransform();
    if (transform.type() <= QTransform::TxScale) {
        const QPointF corner = transform.map(target.topLeft());
        target.moveTopLeft(transform.inverted().map(QPointF(std::round(corner.x()), std::round(corner.y()))));
    }
    painter.drawImage(target, picture);
}

} // namespace KVSymbols

KVSymbol::KVSymbol(QString name, qreal size, KVColorRef color, KVFont::Weight weight, QWidget *parent)
    : QWidget(parent), name_(std::move(name)), size_(size), color_(std::move(color)), weight_(weight),
      box_(qCeil(size), qCeil(size))
{
    setAttribute(Qt::WA_TranslucentBackground);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void KVSymbol::setName(const QString &name)
{
    if (name_ == name)
        return;
    name_ = name;
    update();
}

void KVSymbol::setColor(KVColorRef color)
{
    color_ = std::move(color);
    update();
}

void KVSymbol::setBoxSize(QSize size)
{
    box_ = size;
    updateGeometry();
}

QSize KVSymbol::sizeHint() const
{
    return box_;
}

void KVSymbol::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QRectF box = QRectF(rect());
    const QRectF symbol(box.center().x() - size_ / 2, box.center().y() - size_ / 2, size_, size_);
    KVSymbols::paint(painter, symbol, name_, color_.resolve(this), weight_);
}

} // namespace kestrivane
