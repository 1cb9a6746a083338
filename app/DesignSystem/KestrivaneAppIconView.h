#pragma once

#include "DesignSystem/KVDesign.h"
#include "Support/AppBuildChannel.h"

#include <QWidget>

class QPainter;

namespace kestrivane {

// The application's icon as drawn everywhere: a rounded tile with a dark diagonal gradient, a
// white bell and, on the dev channel, an orange "DEV" badge; a faint rim and a soft shadow.
namespace KestrivaneAppIcon {
// The two places of the badge: the icon view's small capsule, inside the tile towards its
// bottom-trailing corner; and the window and installed icons' badge over the whole picture (tile
// and shadow margin, W × H): 0.44 W by 0.20 H, 8 % of W from the right edge and 9 % of H from the
// bottom, corners of 0.36 of its height, its text bold at 0.48 of its height.
enum class Badge { capsule, corner };
// Draws the icon into `tile` (its design size is 48 × 48; everything scales with the tile). The
// rim and the shadow (blurred, radius 2, 1 down) reach outside the tile: `shadowMargin` of the
// tile's scale on each side.
void paint(QPainter &painter, const QRectF &tile, ColorScheme scheme, AppBuildChannel channel,
           Badge badge = Badge::capsule, bool withShadow = true);
// Draws the channel's badge (orange, with the badge text in white) for the icon in `tile`; nothing
// for an empty text.
void paintBadge(QPainter &painter, const QRectF &tile, ColorScheme scheme, const QString &badgeText,
                Badge badge = Badge::capsule);
inline constexpr qreal shadowMargin = 3;  // at the 48 design size
} // namespace KestrivaneAppIcon

// The icon tile of the current build channel: 48 × 48, in a 54 × 54 view whose 3-point margin
// holds the shadow. A larger fixed size scales the tile with it.
class KestrivaneAppIconView : public QWidget {
    Q_OBJECT

public:
    explicit KestrivaneAppIconView(QWidget *parent = nullptr);
    AppBuildChannel buildChannel() const { return buildChannel_; }
    // Another channel's icon (for previews).
    void setBuildChannel(AppBuildChannel channel);
    QSize sizeHint() const override { return QSize(54, 54); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    AppBuildChannel buildChannel_;
};

} // namespace kestrivane
