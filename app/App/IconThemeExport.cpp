// Build tool: writes the application's icon into an icon theme folder, drawn by the application's
// own icon code at the theme's usual sizes, under the installed application's icon name:
//     kestrivane_icon_theme <theme folder>   ->   <theme folder>/<N>x<N>/apps/<icon name>.png

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
    if (arguments.size() != 2) {
        std::fprintf(stderr, "usage: kestrivane_icon_theme <theme folder>\n");
        return 2;
    }
    const AppBuildChannel channel = AppBuildChannel::current();
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
