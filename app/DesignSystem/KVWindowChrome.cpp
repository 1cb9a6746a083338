#include "DesignSystem/KVWindowChrome.h"

#include "DesignSystem/ColorSchemeProvider.h"
#include "DesignSystem/KVAccessibility.h"
#include "DesignSystem/KVButton.h"
#include "DesignSystem/KVSymbols.h"
#include "DesignSystem/KVViewSupport.h"
#include "Support/AppL10n.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>
#include <QWindow>

#include <xcb/xcb.h>

namespace kestrivane {

namespace {

constexpr int gripThickness = 5;
constexpr int controlsWidth = 78;

// An invisible strip along an edge or corner of a frameless window that resizes it.
class ResizeGrip : public QWidget {
public:
    ResizeGrip(Qt::Edges edges, QWidget *window) : QWidget(window), edges_(edges)
    {
        setAttribute(Qt::WA_NoSystemBackground);
        if (edges == (Qt::LeftEdge | Qt::TopEdge) || edges == (Qt::RightEdge | Qt::BottomEdge))
            setCursor(Qt::SizeFDiagCursor);
        else if (edges == (Qt::RightEdge | Qt::TopEdge) || edges == (Qt::LeftEdge | Qt::BottomEdge))
            setCursor(Qt::SizeBDiagCursor);
        else if (edges & (Qt::LeftEdge | Qt::RightEdge))
            setCursor(Qt::SizeHorCursor);
        else
            setCursor(Qt::SizeVerCursor);
    }
    Qt::Edges edges() const { return edges_; }

protected:
    void mousePressEvent(QMouseEvent *event) override
    {
        if (event->button() != Qt::LeftButton)
            return;
        if (window()->windowHandle() && window()->windowHandle()->startSystemResize(edges_))
            return;
        // No window manager to ask: the grip resizes the window itself.
        pressedAt_ = event->globalPosition().toPoint();
        startGeometry_ = window()->geometry();
    }
    void mouseMoveEvent(QMouseEvent *event) override
    {
        if (!pressedAt_)
            return;
        const QPoint delta = event->globalPosition().toPoint() - *pressedAt_;
        QRect geometry = startGeometry_;
        const QSize minimum = window()->minimumSize();
        if (edges_ & Qt::LeftEdge)
            geometry.setLeft(std::min(geometry.left() + delta.x(), geometry.right() - minimum.width()));
        if (edges_ & Qt::RightEdge)
            geometry.setRight(std::max(geometry.right() + delta.x(), geometry.left() + minimum.width()));
        if (edges_ & Qt::TopEdge)
            geometry.setTop(std::min(geometry.top() + delta.y(), geometry.bottom() - minimum.height()));
        if (edges_ & Qt::BottomEdge)
            geometry.setBottom(std::max(geometry.bottom() + delta.y(), geometry.top() + minimum.height()));
        window()->setGeometry(geometry);
    }
    void mouseReleaseEvent(QMouseEvent *) override { pressedAt_.reset(); }
    void paintEvent(QPaintEvent *) override {}

private:
    Qt::Edges edges_;
    std::optional<QPoint> pressedAt_;
    QRect startGeometry_;
};

// One of the three traffic-light controls.
class WindowControlButton : public QAbstractButton {
public:
    WindowControlButton(const QString &name, QColor color, QWidget *parent) : QAbstractButton(parent), color_(color)
    {
        setAccessibleName(name);
        setToolTip(name);
        setFixedSize(12, 12);
        setFocusPolicy(Qt::NoFocus);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(withOpacity(Qt::black, 0.12), 0.5));
        painter.setBrush(isDown() ? color_.darker(120) : color_);
        painter.drawEllipse(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
    }

private:
    QColor color_;
};

} // namespace

KVWindow::KVWindow(const QString &identifier, QWidget *parent) : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
{
    KVAccessibility::install();
    setObjectName(identifier);
    setWindowRole(identifier);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    const QList<Qt::Edges> edges{Qt::LeftEdge, Qt::RightEdge, Qt::TopEdge, Qt::BottomEdge,
                                 Qt::LeftEdge | Qt::TopEdge, Qt::RightEdge | Qt::TopEdge,
                                 Qt::LeftEdge | Qt::BottomEdge, Qt::RightEdge | Qt::BottomEdge};
    for (const Qt::Edges edge : edges)
        grips_ << new ResizeGrip(edge, this);
    keepChildrenInLayoutOrder(this);
}

void KVWindow::setContent(QWidget *content)
{
    if (content_)
        content_->deleteLater();
    content_ = content;
    if (content)
        layout()->addWidget(content);
    placeGrips();
}

void KVWindow::toggleZoom()
{
    if (isMaximized())
        showNormal();
    else
        showMaximized();
    // A zoomed window has no edges to drag.
    for (QWidget *grip : std::as_const(grips_))
        grip->setVisible(!isMaximized());
}

void KVWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    placeGrips();
}

void KVWindow::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), kvPalette(this).window);
}

void KVWindow::placeGrips()
{
    const int w = width();
    const int h = height();
    const int t = gripThickness;
    for (QWidget *grip : std::as_const(grips_)) {
        const Qt::Edges edges = static_cast<ResizeGrip *>(grip)->edges();
        QRect area;
        if (edges == Qt::LeftEdge)
            area = QRect(0, t, t, h - 2 * t);
        else if (edges == Qt::RightEdge)
            area = QRect(w - t, t, t, h - 2 * t);
        else if (edges == Qt::TopEdge)
            area = QRect(t, 0, w - 2 * t, t);
        else if (edges == Qt::BottomEdge)
            area = QRect(t, h - t, w - 2 * t, t);
        else
            area = QRect((edges & Qt::LeftEdge) ? 0 : w - t, (edges & Qt::TopEdge) ? 0 : h - t, t, t);
        grip->setGeometry(area);
        grip->raise();
    }
}

KVWindowControls::KVWindowControls(QWidget *parent) : QWidget(parent)
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 0, 0, 0);
    layout->setSpacing(8);
    const ColorScheme scheme = ColorScheme::light;
    close_ = new WindowControlButton(AppL10n::text(QStringLiteral("window_close")), KVSystemColor::red(scheme), this);
    minimize_ = new WindowControlButton(AppL10n::text(QStringLiteral("window_minimize")), KVSystemColor::yellow(scheme), this);
    zoom_ = new WindowControlButton(AppL10n::text(QStringLiteral("window_zoom")), KVSystemColor::green(scheme), this);
    layout->addWidget(close_);
    layout->addWidget(minimize_);
    layout->addWidget(zoom_);
    layout->addStretch(1);
    setFixedWidth(controlsWidth);
    connect(close_, &QAbstractButton::clicked, this, [this] { window()->close(); });
    connect(minimize_, &QAbstractButton::clicked, this, [this] { window()->showMinimized(); });
    connect(zoom_, &QAbstractButton::clicked, this, [this] {
        if (auto *frameless = qobject_cast<KVWindow *>(window()))
            frameless->toggleZoom();
    });
}

KVTitleBar::KVTitleBar(const QString &title, QWidget *trailing, int height, QWidget *parent)
    : QWidget(parent), title_(title), controls_(new KVWindowControls(this)), trailingPadding_(trailing ? 12 : 0)
{
    KVAccessibility::install();
    setFixedHeight(height);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 12, 0);
    layout->setSpacing(0);
    layout->addWidget(controls_);
    layout->addStretch(1);
    if (trailing)
        layout->addWidget(trailing);
}

void KVTitleBar::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const KVPalette &colors = kvPalette(this);
    painter.fillRect(rect(), colors.window);
    painter.fillRect(QRect(0, height() - 1, width(), 1), colors.border);
    const QFont font = KVFont::system(13, KVFont::Weight::semibold);
    painter.setFont(font);
    painter.setPen(colors.text2);
    // Centred over the bar less its trailing padding; the controls and the accessory do not push
    // it aside, but a long title is cut before it would run under them.
    const QRectF area(0, 0, width() - 12, height() - 1);
    int trailingWidth = 0;
    for (QWidget *child : findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (child != controls_ && child->isVisible())
            trailingWidth = std::max(trailingWidth, width() - child->x());
    }
    const qreal reserved = std::max<qreal>(controlsWidth, trailingWidth) - 6;
    const qreal available = std::max<qreal>(0, area.width() - 2 * reserved);
    painter.drawText(area, Qt::AlignCenter | Qt::TextSingleLine,
                     QFontMetricsF(font).elidedText(title_, Qt::ElideRight, available));
}

void KVTitleBar::mousePressEvent(QMouseEvent *event)
{
    // A press becomes a move once the mouse travels, so a double click still reaches the strip.
    if (event->button() == Qt::LeftButton)
        pressedAt_ = event->globalPosition();
    QWidget::mousePressEvent(event);
}

void KVTitleBar::mouseMoveEvent(QMouseEvent *event)
{
    if (manualMoveFrom_ && pressedAt_) {
        window()->move(*manualMoveFrom_ + (event->globalPosition() - *pressedAt_).toPoint());
        return;
    }
    if (!pressedAt_ || !(event->buttons() & Qt::LeftButton)
        || (event->globalPosition() - *pressedAt_).manhattanLength() < QApplication::startDragDistance())
        return;
    const QPoint travel = (event->globalPosition() - *pressedAt_).toPoint();
    catchUpBeforeSystemMove(travel);
    QWindow *handle = window()->windowHandle();
    if (handle && handle->startSystemMove()) {
        pressedAt_.reset();
        return;
    }
    // No window manager to ask: the strip moves the window itself.
    manualMoveFrom_ = window()->pos();
    window()->move(*manualMoveFrom_ + travel);
}

void KVTitleBar::catchUpBeforeSystemMove(QPoint travel)
{
    // The window manager moves the window on from the pointer's latest position, which Qt maps
    // with the window's place as Qt knows it: the travel below the drag threshold would be lost
    // and the window would lag behind the pointer. On X11 the window first asks to go that far by
    // a request of its own, which Qt learns of only later, so the window manager starts the move
    // from there and the grabbed point stays under the pointer.
    QWindow *handle = window()->windowHandle();
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!handle || !x11 || !x11->connection())
        return;
    const QPoint target = (window()->pos() + travel) * handle->devicePixelRatio();
    const quint32 position[] = {static_cast<quint32>(target.x()), static_cast<quint32>(target.y())};
    xcb_configure_window(x11->connection(), static_cast<xcb_window_t>(handle->winId()),
                         XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, position);
}

void KVTitleBar::mouseReleaseEvent(QMouseEvent *event)
{
    pressedAt_.reset();
    manualMoveFrom_.reset();
    QWidget::mouseReleaseEvent(event);
}

void KVTitleBar::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        if (auto *frameless = qobject_cast<KVWindow *>(window()))
            frameless->toggleZoom();
    }
    QWidget::mouseDoubleClickEvent(event);
}

KVChromeIconButton::KVChromeIconButton(const QString &systemImage, const QString &help, std::function<void()> action,
                                       QWidget *parent)
    : QAbstractButton(parent), systemImage_(systemImage)
{
    KVAccessibility::install();
    attachKeyboardFocusRing(this, 5);
    pressOnReturn(this);
    setFixedSize(22, 22);
    setToolTip(help);
    setFocusPolicy(Qt::TabFocus);
    if (action)
        connect(this, &QAbstractButton::clicked, this, [action = std::move(action)] { action(); });
}

void KVChromeIconButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const KVPalette &colors = kvPalette(this);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), 5, 5);
    if (isDown())
        painter.fillPath(shape, colors.surfaceHover);
    const QRectF symbol(QRectF(rect()).center() - QPointF(6.5, 6.5), QSizeF(13, 13));
    KVSymbols::paint(painter, symbol, systemImage_, colors.text2, KVFont::Weight::medium);
}

} // namespace kestrivane
