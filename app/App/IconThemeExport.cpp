// Build tool: writes the application's icon into an icon theme folder, drawn by the application's
// own icon code at the theme's usual sizes, under the installed application's icon name, and the
// pixels the program carries for its windows (ApplicationIcon::bundled):
//     kestrivane_icon_theme <theme folder> <bundle folder>
//         ->   <theme folder>/<N>x<N>/apps/<icon name>.png, <bundle folder>/<N>.argb32

#include "App/ApplicationIcon.h"
#include "Support/InstalledApplication.h"

#include <QDir>
#include <QGuiApplication>

#include <cstdio>

using namespace kestrivane;

int main(int argc, char *argv[])
{
    QGuiApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    if (arguments.size() != 3) {
        std::fprintf(stderr, "usage: kestrivane_icon_theme <theme folder> <bundle folder>\n");
        return 2;
    }
    const AppBuildChannel channel = AppBuildChannel::current();
    for (const int side : ApplicationIcon::bundledSides) {
        const QString file = arguments[2] + QStringLiteral("/%1.argb32").arg(side);
        if (!QDir().mkpath(arguments[2]) || !ApplicationIcon::writeBundled(ApplicationIcon::image(channel, side), file)) {
            std::fprintf(stderr, "kestrivane_icon_theme: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    for (const int side : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(arguments[1]).arg(side);
        const QImage image = ApplicationIcon::image(channel, side);
        if (image.isNull() || !QDir().mkpath(folder)
            || !image.save(folder + u'/' + InstalledApplication::iconName(channel) + QStringLiteral(".png"))) {
            std::fprintf(stderr, "kestrivane_icon_theme: cannot write the %dx%d icon to %s\n", side, side, qPrintable(folder));
            return 1;
        }
    }
    return 0;
}
