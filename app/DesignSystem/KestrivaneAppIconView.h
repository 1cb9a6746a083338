#pragma once

#include "DesignSystem/KVDesign.h"
#include "Support/AppBuildChannel.h"

#include <QWidget>

class QPainter;

namespace kestrivane {

// The application's icon as drawn everywhere: a rounded tile with a dark diagonal gradient, a
// white bell and, on the dev channel, an orange "DEV" capsule; a faint rim and a soft shadow.
namespace KestrivaneAppIcon {
// Draws the icon into `tile` (its design size is 48 × 48; everything scales with the tile).
void paint(QPainter &painter, const QRectF &tile, ColorScheme scheme, AppBuildChannel channel, bool withShadow = true);
} // namespace KestrivaneAppIcon

// The icon tile of the current build channel, 48 × 48 (plus its shadow's margin).
class KestrivaneAppIconView : public QWidget {
    Q_OBJECT

public:
    explicit KestrivaneAppIconView(QWidget *parent = nullptr);
    AppBuildChannel buildChannel() const { return buildChannel_; }
    QSize sizeHint() const override { return QSize(48, 48); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    AppBuildChannel buildChannel_;
};

} // namespace kestrivane
