#pragma once

#include <QImage>
#include <QList>
#include <QPoint>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace kestrivane::test {

// One window of the X display, as other clients see it.
struct X11Window {
    quint32 id = 0;
    quint32 parent = 0;
    bool topLevel = false;  // a child of the root window
    bool viewable = false;  // mapped, with every ancestor mapped
    QString role;           // WM_WINDOW_ROLE
    QString instanceName;   // WM_CLASS, first part
};

// Every window of the display's default screen, depth first, siblings from bottom to top. Needs the
// X11 connection of this Qt application.
QList<X11Window> x11Windows();

// The viewable top-level windows with this role, bottom to top.
QList<X11Window> x11TopLevels(const QString &role);

// The role of the topmost viewable top-level window that has one.
QString x11TopmostRole();

// The viewable windows of `instanceName` embedded in another client's window (tray icons).
QList<X11Window> x11EmbeddedWindows(const QString &instanceName);

// Whether a system tray manager owns the tray selection of the default screen.
bool x11TrayManagerPresent();

// Where the X server has the top left corner of `window` on the screen.
QPoint x11ScreenPosition(quint32 window);

// The icons of `window`'s _NET_WM_ICON, in their order there.
QList<QImage> x11WindowIcons(quint32 window);

// Openbox managing the test display for the scope of the object (the other tests expect none).
// When it ends, the root window loses the properties that announce a window manager, also when
// openbox could not remove them.
class X11WindowManager {
public:
    X11WindowManager();
    ~X11WindowManager();
    // Empty once openbox manages new windows and moves them on request, else why not.
    QString problem() const { return problem_; }

private:
    QTemporaryDir folder_;
    QProcess process_;
    QString problem_;
};

} // namespace kestrivane::test
