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
    // The sizes the program carries, drawn at build time for its channel as
    // :/bundle/AppIcon/<N>.argb32: the image's premultiplied ARGB32 pixels in the byte order of
    // the machine, read without decoding.
    static constexpr int bundledSides[] = {16, 32, 48, 64, 128, 256};
    // The icon from those pixels; a null icon when the program carries none.
    static QIcon bundled();
    // Writes `image`'s pixels to `file` in that form.
    static bool writeBundled(const QImage &image, const QString &file);
    // The icon at `side` pixels square, badged for `channel`; a null image for a side of 0 or less.
    static QImage image(AppBuildChannel channel, int side = 256);
    // A copy of `source` (an icon tile filling it, shadow margin included) with the corner dev
    // badge; `source` itself is not changed.
    static QImage withDevBadge(const QImage &source);
};

} // namespace kestrivane
