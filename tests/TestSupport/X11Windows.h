#pragma once

#include <QList>
#include <QString>

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

} // namespace kestrivane::test
