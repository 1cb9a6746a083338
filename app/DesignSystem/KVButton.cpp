#include "DesignSystem/KVButton.h"

#include "DesignSystem/ColorSchemeProvider.h"
#include "DesignSystem/KVAccessibility.h"
#include "DesignSystem/KVSymbols.h"
#include "DesignSystem/KVViewSupport.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>

namespace kestrivane {

namespace {
constexpr int symbolSpacing = 4;
constexpr int ringOutset = 3;  // 1 pixel of gap, then the 2-pixel ring
const char ringProperty[] = "kvFocusRing";

// Where a control's ring is drawn: the nearest scrolled viewport around it, else its window, so
// neither the control's bounds nor its parent's cut the ring.
QWidget *ringHost(QWidget *control)
{
    for (QWidget *w = control->parentWidget(); w; w = w->parentWidget()) {
        if (w->isWindow())
            return w;
        if (qobject_cast<QAbstractScrollArea *>(w->parentWidget())
            && static_cast<QAbstractScrollArea *>(w->parentWidget())->viewport() == w)
            return w;
    }
    return nullptr;
}

// Whether the last focus change left a control that was being hidden: the focus that Qt then
// hands on with a Tab reason did not come from the keyboard.
bool focusLeftHiddenControl = false;

class FocusOutWatcher : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *object, QEvent *event) override
    {
        if (event->type() == QEvent::FocusOut && object->isWidgetType()) {
            auto *widget = static_cast<QWidget *>(object);
            focusLeftHiddenControl = !widget->isVisibleTo(widget->window()) || widget->isHidden();
        }
        return false;
    }
};

void watchFocusOut()
{
    static QPointer<FocusOutWatcher> watcher;
    if (watcher || !qApp)
        return;
    watcher = new FocusOutWatcher(qApp);
    qApp->installEventFilter(watcher);
    // Read by the FocusIn that follows the FocusOut, then forgotten.
    QObject::connect(qApp, &QApplication::focusChanged, watcher, [] { focusLeftHiddenControl = false; });
}

// The ring around a control, drawn above everything in the ring's host.
class FocusRing : public QWidget {
public:
    FocusRing(QWidget *control, QWidget *host, qreal radius) : QWidget(host), control_(control), radius_(radius)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setFocusPolicy(Qt::NoFocus);
        hide();
    }

    void follow()
    {
        const QRect area(control_->mapTo(parentWidget(), QPoint(0, 0)), control_->size());
        setGeometry(area.adjusted(-ringOutset, -ringOutset, ringOutset, ringOutset));
        raise();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(withOpacity(KVDesign::accent(colorScheme(control_)), 0.5), 2));
        painter.setBrush(Qt::NoBrush);
        const qreal inset = ringOutset - 2;  // the pen's centre, 2 pixels outside the control
        const qreal radius = radius_ + 2;
        painter.drawRoundedRect(QRectF(rect()).adjusted(inset, inset, -inset, -inset), radius, radius);
    }

private:
    QWidget *control_;
    qreal radius_;
};

// Follows the control's focus, visibility and place (its own and its ancestors' moves).
class FocusRingTracker : public QObject {
public:
    FocusRingTracker(QWidget *control, qreal radius) : QObject(control), control_(control), radius_(radius)
    {
        control->installEventFilter(this);
        watchFocusOut();
    }
    ~FocusRingTracker() override { delete ring_; }

    FocusRing *ring() const { return ring_; }

protected:
    bool eventFilter(QObject *object, QEvent *event) override
    {
        if (object != control_) {
            if ((event->type() == QEvent::Move || event->type() == QEvent::Resize) && ring_ && ring_->isVisible())
                ring_->follow();
            else if (event->type() == QEvent::ParentChange)
                hideRing();
            return false;
        }
        switch (event->type()) {
        case QEvent::FocusIn: {
            const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
            const bool keyboard = reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason
                                  || reason == Qt::ShortcutFocusReason;
            if (keyboard && !focusLeftHiddenControl)
                showRing();
            else
                hideRing();
            break;
        }
        case QEvent::FocusOut:
        case QEvent::Hide:
        case QEvent::ParentAboutToChange:
            hideRing();
            break;
        case QEvent::Move:
        case QEvent::Resize:
            if (ring_ && ring_->isVisible())
                ring_->follow();
            break;
        default:
            break;
        }
        return false;
    }

private:
    void showRing()
    {
        QWidget *host = ringHost(control_);
        if (!host)
            return;
        if (!ring_ || ring_->parentWidget() != host) {
            delete ring_;
            ring_ = new FocusRing(control_, host, radius_);
        }
        watchAncestors(host);
        ring_->follow();
        ring_->show();
    }

    void hideRing()
    {
        if (ring_)
            ring_->hide();
        watchAncestors(nullptr);
    }

    // Watches the widgets between the control and `host` (none when null) for moves.
    void watchAncestors(QWidget *host)
    {
        for (const QPointer<QWidget> &ancestor : std::as_const(ancestors_)) {
            if (ancestor)
                ancestor->removeEventFilter(this);
        }
        ancestors_.clear();
        for (QWidget *w = control_->parentWidget(); w && w != host; w = w->parentWidget()) {
            w->installEventFilter(this);
            ancestors_ << w;
        }
    }

    QWidget *control_;
    qreal radius_;
    QPointer<FocusRing> ring_;
    QList<QPointer<QWidget>> ancestors_;
};

// Presses the focused button it watches on Return and keypad Enter.
class ReturnPresser : public QObject {
public:
    using QObject::QObject;

    static ReturnPresser *shared()
    {
        static QPointer<ReturnPresser> presser;
        if (!presser && qApp)
            presser = new ReturnPresser(qApp);
        return presser;
    }

protected:
    bool eventFilter(QObject *object, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        const auto *key = static_cast<QKeyEvent *>(event);
        if ((key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) || (key->modifiers() & ~Qt::KeypadModifier))
            return false;
        auto *button = static_cast<QAbstractButton *>(object);
        if (!key->isAutoRepeat() && button->isEnabled())
            button->click();
        return true;
    }
};
} // namespace

void pressOnReturn(QAbstractButton *button)
{
    if (ReturnPresser *presser = ReturnPresser::shared())
        button->installEventFilter(presser);
}

void attachKeyboardFocusRing(QWidget *control, qreal radius)
{
    if (control->property(ringProperty).isValid())
        return;
    auto *tracker = new FocusRingTracker(control, radius);
    control->setProperty(ringProperty, QVariant::fromValue(static_cast<QObject *>(tracker)));
}

bool showsKeyboardFocusRing(const QWidget *control)
{
    auto *tracker = static_cast<FocusRingTracker *>(control->property(ringProperty).value<QObject *>());
    return tracker && tracker->ring() && tracker->ring()->isVisible();
}

QColor pressedColor(const QColor &color, ColorScheme scheme)
{
    return scheme == ColorScheme::dark ? color.lighter(112) : color.darker(112);
}

KVButton::KVButton(const QString &title, Style style, QWidget *parent) : QAbstractButton(parent), style_(style)
{
    KVAccessibility::install();
    setText(title);
    setFocusPolicy(Qt::TabFocus);
    setCursor(Qt::ArrowCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    attachKeyboardFocusRing(this, KVDesign::buttonCornerRadius);
    pressOnReturn(this);
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
    if (auto *tracker = property(ringProperty).value<QObject *>()) {
        delete tracker;
        setProperty(ringProperty, QVariant());
    }
    attachKeyboardFocusRing(this, style_ == Style::plain ? 4 : (size == ControlSize::small ? 5 : 6));
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

void KVButton::setExpanding(bool expanding, Qt::Alignment alignment)
{
    expanding_ = expanding;
    alignment_ = alignment;
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
        return contentsMargins();
    const int horizontal = size_ == ControlSize::small ? 7 : 10;
    return QMargins(horizontal, 0, horizontal, 0) + contentsMargins();
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

int KVButton::textBaseline(int height) const
{
    // The line centred, its baseline on a whole pixel.
    return qRound(KVFont::centredBaseline(text(), labelFont(), height));
}

QSize KVButton::sizeHint() const
{
    const QSize content = contentSize();
    const QMargins pad = padding();
    return QSize(content.width() + pad.left() + pad.right(),
                 std::max(controlHeight(), content.height() + pad.top() + pad.bottom()));
}

QSize KVButton::minimumSizeHint() const
{
    return expanding_ ? QSize(controlHeight() + padding().left() + padding().right(), sizeHint().height()) : sizeHint();
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
    shape.addRoundedRect(bounds, radius, radius);

    const QColor tint = tint_.resolve(scheme);
    QColor label;
    switch (style_) {
    case Style::borderedProminent: {
        painter.fillPath(shape, pressed ? pressedColor(tint, scheme) : tint);
        label = Qt::white;
        break;
    }
    case Style::bordered: {
        // The neutral bezel is translucent: pressed, it takes 12 % more of its ink.
        const QColor fill = scheme == ColorScheme::dark ? srgb(1, 1, 1, pressed ? 0.22 : 0.10) : srgb(0, 0, 0, pressed ? 0.18 : 0.06);
        painter.fillPath(shape, fill);
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
    qreal x = alignment_ & Qt::AlignLeading ? inner.left() : inner.left() + (inner.width() - content.width()) / 2;
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
        painter.drawText(QPointF(x, bounds.top() + textBaseline(height())), shown);
    }
}

} // namespace kestrivane
