#include "App/MenuBarLabel.h"

#include "DesignSystem/ColorSchemeProvider.h"

#include "Support/AppL10n.h"
#include "Support/BundleInfo.h"

#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QSvgRenderer>

namespace kestrivane {

namespace {

const QColor systemRed(255, 59, 48);
const QColor systemGreen(52, 199, 89);
const QColor systemYellow(255, 204, 0);
const QColor systemOrange(255, 149, 0);

const QRectF glyphRect(1, 0, 22, 22);
const QRectF dotRect(16.5, 0.5, 7, 7);
const QRectF badgeRect(12, 14, 12, 8);

// The glyph alone, as an alpha mask the size of its rectangle at `scale`.
QImage glyphMask(qreal scale)
{
    const QSize pixels = (glyphRect.size() * scale).toSize();
    QImage mask(pixels, QImage::Format_ARGB32_Premultiplied);
    mask.fill(Qt::transparent);
    const QString resource = MenuBarLabel::glyphResource();
    if (resource.isEmpty())
        return mask;
    QSvgRenderer renderer(resource);
    if (!renderer.isValid())
        return mask;
    QPainter painter(&mask);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter, QRectF(QPointF(0, 0), pixels));
    return mask;
}

void drawDevBadge(QPainter &painter, const QRectF &rect)
{
    QPainterPath badge;
    badge.addRoundedRect(rect, 2.5, 2.5);
    painter.fillPath(badge, systemOrange);

    QFont font = QGuiApplication::font();
    font.setPixelSize(6);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::white);
    // Centred, then 0.3 point lower.
    painter.drawText(rect.translated(0, 0.3), Qt::AlignCenter, QStringLiteral("D"));
}

} // namespace

MenuBarLabel::State MenuBarLabel::state(bool requiresUserAttention, bool hasCurrentMeet, bool hasActiveMeet)
{
    if (requiresUserAttention)
        return State::AttentionNeeded;
    if (hasCurrentMeet)
        return State::InMeeting;
    if (hasActiveMeet)
        return State::MeetReady;
    return State::Idle;
}

std::optional<QColor> MenuBarLabel::statusColor(State state)
{
    switch (state) {
    case State::AttentionNeeded: return systemRed;
    case State::InMeeting: return systemGreen;
    case State::MeetReady: return systemYellow;
    case State::Idle: break;
    }
    return std::nullopt;
}

QString MenuBarLabel::helpText(State state, const QString &displayName)
{
    switch (state) {
    case State::AttentionNeeded: return AppL10n::text(QStringLiteral("menu_bar_attention_needed"));
    case State::InMeeting: return AppL10n::text(QStringLiteral("menu_bar_in_meeting"));
    case State::MeetReady: return AppL10n::text(QStringLiteral("menu_bar_meet_ready"));
    case State::Idle: break;
    }
    return displayName;
}

QString MenuBarLabel::glyphResource()
{
    for (const char *name : {"/KestrivaneMenuBarTemplate.svg", "/icons/bell.fill.svg"}) {
        const QString path = BundleInfo::resourceRoot + QLatin1String(name);
        if (QFile::exists(path))
            return path;
    }
    return {};
}

QImage MenuBarLabel::render(State state, bool devBadge, bool dark, qreal scale)
{
    QImage image((QSizeF(size) * scale).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);

    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(scale, scale);

        // The glyph in the contrast colour: a filled square kept only where the glyph is opaque.
        painter.fillRect(glyphRect, dark ? Qt::white : Qt::black);
        painter.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        painter.drawImage(glyphRect, glyphMask(scale));
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);

        if (const auto color = statusColor(state)) {
            QPainterPath dot;
            dot.addEllipse(dotRect);
            painter.fillPath(dot, *color);
            painter.strokePath(dot, QPen(QColor(0, 0, 0, qRound(0.45 * 255)), 0.75));
        }
        if (devBadge)
            drawDevBadge(painter, badgeRect);
    }
    image.setDevicePixelRatio(scale);
    return image;
}

QIcon MenuBarLabel::icon(State state, bool devBadge, bool dark)
{
    QIcon icon;
    for (const qreal scale : {1.0, 2.0, 3.0})
        icon.addPixmap(QPixmap::fromImage(render(state, devBadge, dark, scale)));
    return icon;
}

bool MenuBarLabel::prefersDarkPanel()
{
    return ColorSchemeProvider::shared().scheme() == ColorScheme::dark;
}

} // namespace kestrivane
