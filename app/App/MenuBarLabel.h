#pragma once

#include <QColor>
#include <QIcon>
#include <QImage>
#include <QSize>
#include <QString>

#include <optional>

namespace kestrivane {

// The tray icon's picture: the bell glyph in the panel's contrast colour, a status dot in its
// upper right corner when the user should look, and an orange "D" badge in its lower right corner
// on development builds. Drawn in top-down coordinates on a 24 × 22 canvas.
class MenuBarLabel {
public:
    // The first that applies: a failure, a meeting in progress, an alerting meeting, nothing.
    enum class State { Idle, AttentionNeeded, InMeeting, MeetReady };

    static State state(bool requiresUserAttention, bool hasCurrentMeet, bool hasActiveMeet);

    static constexpr QSize size{24, 22};

    // Red, green and yellow for the three states that call for a look; none when idle.
    static std::optional<QColor> statusColor(State state);
    // The tooltip: the state in words, or the application's display name when idle.
    static QString helpText(State state, const QString &displayName);

    // The icon at `scale` device pixels per point; `dark` panels get a white glyph, light ones a
    // black one.
    static QImage render(State state, bool devBadge, bool dark, qreal scale = 1.0);
    static QIcon icon(State state, bool devBadge, bool dark);

    // Whether the desktop's colour scheme is dark (the tray panel is assumed to follow it).
    static bool prefersDarkPanel();

    // The glyph's picture: the menu-bar template, else the "bell.fill" symbol, else nothing.
    static QString glyphResource();
};

} // namespace kestrivane
