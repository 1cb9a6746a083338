#pragma once

#include "Support/AppBuildChannel.h"

#include <QIcon>
#include <QImage>

namespace kestrivane {

// The application's icon: our artwork, with an orange "DEV" badge at the lower right on
// development builds.
class ApplicationIcon {
public:
    static QIcon icon(AppBuildChannel channel);
    // The artwork at `side` pixels square, badged for `channel`; a null image when the artwork
    // cannot be read.
    static QImage image(AppBuildChannel channel, int side = 256);
    // A badged copy of `source`; `source` itself is not changed.
    static QImage withDevBadge(const QImage &source);
};

} // namespace kestrivane
