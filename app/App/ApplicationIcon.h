#pragma once

#include "Support/AppBuildChannel.h"

#include <QIcon>
#include <QImage>

namespace kestrivane {

// The application's icon: the drawing of KestrivaneAppIcon (light scheme, with its shadow) at any
// size, with the corner "DEV" badge on development builds.
class ApplicationIcon {
public:
    static QIcon icon(AppBuildChannel channel);
    // The icon at `side` pixels square, badged for `channel`; a null image for a side of 0 or less.
    static QImage image(AppBuildChannel channel, int side = 256);
    // A copy of `source` (an icon tile filling it, shadow margin included) with the corner dev
    // badge; `source` itself is not changed.
    static QImage withDevBadge(const QImage &source);
};

} // namespace kestrivane
