#pragma once

#include "Support/AppBuildChannel.h"

#include <QString>

namespace kestrivane {

// How the installed application is known to the desktop. The application identifier is the
// bundle identifier, with ".dev" on the development channel so both builds can be installed side
// by side; it names the desktop entry, the icon in the icon theme and the single-instance bus name.
// The build (CMake's KESTRIVANE_APPLICATION_ID) installs under the same names.
class InstalledApplication {
public:
    static QString applicationID(AppBuildChannel channel = AppBuildChannel::current());
    // The desktop entry's file name: "<application identifier>.desktop", for example for an XDG
    // autostart entry or the "desktop-entry" hint (which takes applicationID(), without suffix).
    static QString desktopEntryName(AppBuildChannel channel = AppBuildChannel::current());
    // The icon's name in the icon theme.
    static QString iconName(AppBuildChannel channel = AppBuildChannel::current());
};

} // namespace kestrivane
