#include "Views/Settings/CalendarSelectionSwitch.h"

#include "DesignSystem/ColorSchemeProvider.h"
#include "DesignSystem/KVButton.h"
#include "Support/AppL10n.h"

#include "Views/Settings/SettingsPaneKit.h"

#include <QFocusEvent>
#include <QPainter>
#include <QPainterPath>
#include <QSignalBlocker>

namespace kestrivane {

CalendarSelectionSwitch::CalendarSelectionSwitch(bool on, std::function<void(bool)> onToggle, QWidget *parent,
                                                 const QString &accessibleName)
    : QAbstractButton(parent), onToggle_(std::move(onToggle))
{
    setCheckable(true);
    setFixedSize(34, 20);
    setFocusPolicy(Qt::TabFocus);
    attachKeyboardFocusRing(this, 10);
    pressOnReturn(this);
    setAccessibleName(accessibleName.isNull() ? AppL10n::text(QStringLiteral("settings_section_calendars")) : accessibleName);
    setOn(on);
    connect(this, &QAbstractButton::clicked, this, [this] {
        if (onToggle_)
            onToggle_(!isOn());
    });
    // A screen reader's toggle action flips the state directly: it becomes a request instead.
    connect(this, &QAbstractButton::toggled, this, [this](bool checked) {
        if (showingState_)
            return;
        {
            const QSignalBlocker blocker(this);
            setChecked(!checked);
        }
        if (onToggle_)
            onToggle_(checked);
    });
}

void CalendarSelectionSwitch::setOn(bool on)
{
    showingState_ = true;
    setChecked(on);
    showingState_ = false;
    setAccessibleDescription(AppL10n::systemText(on ? QStringLiteral("On") : QStringLiteral("Off")));
    update();
}

void CalendarSelectionSwitch::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const KVPalette &palette = kvPalette(this);
    const bool on = isOn();
    const QRectF track(0, 0, 34, 20);
    QPainterPath shape;
    shape.addRoundedRect(track, 10, 10);
    painter.fillPath(shape, on ? palette.success : palette.fill2);

    const QRectF knob(on ? track.right() - 18 : 2, 2, 16, 16);
    painter.setPen(Qt::NoPen);
    painter.setBrush(withOpacity(Qt::black, 0.18));
    painter.drawEllipse(knob.translated(0, 1).adjusted(-0.5, -0.5, 0.5, 0.5));
    painter.setBrush(Qt::white);
    painter.drawEllipse(knob);

    QPainterPath outline;
    outline.addRoundedRect(track.adjusted(0.25, 0.25, -0.25, -0.25), 10, 10);
    painter.strokePath(outline, QPen(on ? withOpacity(Qt::white, 0.2) : palette.border, 0.5));
}

} // namespace kestrivane
