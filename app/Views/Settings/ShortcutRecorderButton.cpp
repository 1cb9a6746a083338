#include "Views/Settings/ShortcutRecorderButton.h"

#include "DesignSystem/ColorSchemeProvider.h"
#include "DesignSystem/KVButton.h"
#include "DesignSystem/KVViewSupport.h"
#include "Support/AppL10n.h"
#include "Support/GlobalHotKeyController.h"
#include "Support/ShortcutRecording.h"

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include "Views/Settings/SettingsPaneKit.h"

#include <QFocusEvent>
#include <QPainter>
#include <QPainterPath>

#include <xcb/xcb.h>

namespace kestrivane {

namespace {

constexpr quint32 escapeKeysym = 0xff1b;

QFont labelFont()
{
    return KVFont::monospaced(12, KVFont::Weight::semibold);
}

bool isModifierKey(int key)
{
    switch (key) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Meta:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
    case Qt::Key_ScrollLock:
    case Qt::Key_Mode_switch:
        return true;
    default:
        return false;
    }
}

} // namespace

void x11AlertSound()
{
    auto *gui = qobject_cast<QGuiApplication *>(QCoreApplication::instance());
    auto *x11 = gui ? gui->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (x11 && x11->connection()) {
        xcb_bell(x11->connection(), 0);
        xcb_flush(x11->connection());
        return;
    }
    QApplication::beep();
}

RecordedKey RecordedKey::read(const QKeyEvent &event)
{
    quint32 keysym = event.nativeVirtualKey();
    if (const auto base = x11BaseKeysym(event.nativeScanCode()))
        keysym = *base;
    if (keysym == escapeKeysym || event.key() == Qt::Key_Escape)
        return {Kind::Escape, std::nullopt};
    if (isModifierKey(event.key()))
        return {Kind::Ignore, std::nullopt};
    // A combination another program holds could not become a hot key: refused like the others.
    const auto shortcut = KestrivaneShortcut::fromKeyEvent(event);
    if (shortcut && !GlobalHotKeyController::heldByAnotherClient(*shortcut))
        return {Kind::Shortcut, shortcut};
    return {Kind::Reject, std::nullopt};
}

ShortcutRecorderButton::ShortcutRecorderButton(const KestrivaneShortcut &shortcut,
                                               std::function<void(const KestrivaneShortcut &)> onChange,
                                               std::function<void()> alertSound, QWidget *parent)
    : QAbstractButton(parent), shortcut_(shortcut), onChange_(std::move(onChange)), alertSound_(std::move(alertSound))
{
    setFocusPolicy(Qt::TabFocus);
    attachKeyboardFocusRing(this, 6);
    pressOnReturn(this);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setToolTip(plainTextToolTip(AppL10n::text(QStringLiteral("settings_shortcut_click_to_record"))));
    connect(this, &QAbstractButton::clicked, this, &ShortcutRecorderButton::startRecording);
    refreshLabel();
}

ShortcutRecorderButton::~ShortcutRecorderButton()
{
    stopRecording();
}

void ShortcutRecorderButton::setShortcut(const KestrivaneShortcut &shortcut)
{
    shortcut_ = shortcut;
    refreshLabel();
}

QString ShortcutRecorderButton::labelText() const
{
    return recording_ ? AppL10n::text(QStringLiteral("settings_shortcut_recording")) : shortcut_.desktopText();
}

void ShortcutRecorderButton::startRecording()
{
    stopRecording();
    recording_ = true;
    qApp->installEventFilter(this);
    ShortcutRecording::shared().begin(this, [this](const KestrivaneShortcut &shortcut) { accept(shortcut); });
    followActivation();
    refreshLabel();
}

void ShortcutRecorderButton::followActivation()
{
    // While its window is active the recorder holds the keyboard, so the combinations other
    // programs hold reach it too; typing in another program's window stays that program's.
    if (recording_ && isVisible() && window()->isActiveWindow())
        grabKeyboard();
    else if (keyboardGrabber() == this)
        releaseKeyboard();
}

void ShortcutRecorderButton::stopRecording()
{
    if (QCoreApplication *application = QCoreApplication::instance())
        application->removeEventFilter(this);
    ShortcutRecording::shared().end(this);
    if (keyboardGrabber() == this)
        releaseKeyboard();
    if (recording_) {
        recording_ = false;
        refreshLabel();
    }
}

void ShortcutRecorderButton::accept(const KestrivaneShortcut &shortcut)
{
    // The callback first, then the end of the recording; the callback never deletes this button
    // (its owner shows the new value on the next turn).
    if (onChange_)
        onChange_(shortcut);
    stopRecording();
}

bool ShortcutRecorderButton::eventFilter(QObject *watched, QEvent *event)
{
    if (!recording_)
        return QAbstractButton::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::WindowActivate:
    case QEvent::WindowDeactivate:
        if (watched == window())
            followActivation();
        return QAbstractButton::eventFilter(watched, event);
    case QEvent::ShortcutOverride:
        // No shortcut of a window or menu runs while recording.
        event->accept();
        return true;
    case QEvent::KeyPress: {
        // Each press reaches the filter once per object on its way; act on the first.
        if (!watched->isWidgetType() && !watched->isWindowType())
            return true;
        if (watched->isWidgetType() && !static_cast<QWidget *>(watched)->isWindow() && watched != QApplication::focusWidget())
            return true;
        const RecordedKey key = RecordedKey::read(*static_cast<QKeyEvent *>(event));
        switch (key.kind) {
        case RecordedKey::Kind::Escape: stopRecording(); break;
        case RecordedKey::Kind::Ignore: break;
        case RecordedKey::Kind::Reject:
            if (alertSound_)
                alertSound_();
            break;
        case RecordedKey::Kind::Shortcut: accept(*key.shortcut); break;
        }
        return true;
    }
    default:
        return QAbstractButton::eventFilter(watched, event);
    }
}

void ShortcutRecorderButton::hideEvent(QHideEvent *event)
{
    QAbstractButton::hideEvent(event);
    if (!event->spontaneous())
        stopRecording();
}

QSize ShortcutRecorderButton::sizeHint() const
{
    const QFontMetrics metrics(labelFont());
    const int text = std::max(metrics.horizontalAdvance(shortcut_.desktopText()),
                              metrics.horizontalAdvance(AppL10n::text(QStringLiteral("settings_shortcut_recording"))));
    return QSize(std::max(108, text) + 16, metrics.height() + 10);
}

void ShortcutRecorderButton::refreshLabel()
{
    setText(labelText());
    setAccessibleName(labelText());
    // While recording the name ("Type shortcut…") says what to do.
    setAccessibleDescription(recording_ ? QString() : AppL10n::text(QStringLiteral("settings_shortcut_click_to_record")));
    updateGeometry();
    update();
}

void ShortcutRecorderButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const KVPalette &palette = kvPalette(this);
    const QRectF frame = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath shape;
    shape.addRoundedRect(frame, 6, 6);
    painter.fillPath(shape, palette.fill1);
    painter.strokePath(shape, QPen(recording_ ? palette.accent() : palette.border, 0.8));
    painter.setFont(labelFont());
    painter.setPen(recording_ ? palette.accent() : palette.text1);
    painter.drawText(rect(), Qt::AlignCenter, labelText());
}

} // namespace kestrivane
