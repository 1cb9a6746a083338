#include "TestSupport/X11Windows.h"

#include "TestSupport/Coroutines.h"

#include <QFile>
#include <QGuiApplication>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>

namespace kestrivane::test {

namespace {

xcb_connection_t *connection()
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_window_t rootWindow(xcb_connection_t *c)
{
    return xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
}

xcb_atom_t atom(xcb_connection_t *c, const QByteArray &name)
{
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, name.size(), name.constData()), nullptr);
    xcb_atom_t result = XCB_ATOM_NONE;
    if (reply)
        result = reply->atom;
    std::free(reply);
    return result;
}

QByteArray property(xcb_connection_t *c, xcb_window_t window, xcb_atom_t name)
{
    xcb_get_property_reply_t *reply =
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, name, XCB_GET_PROPERTY_TYPE_ANY, 0, 1024), nullptr);
    QByteArray value;
    if (reply)
        value = QByteArray(static_cast<const char *>(xcb_get_property_value(reply)), xcb_get_property_value_length(reply));
    std::free(reply);
    return value;
}

// Whether the window manager announces that it moves windows on request.
bool windowManagerMoves()
{
    xcb_connection_t *c = connection();
    if (!c)
        return false;
    const QByteArray supported = property(c, rootWindow(c), atom(c, "_NET_SUPPORTED"));
    const xcb_atom_t moveResize = atom(c, "_NET_WM_MOVERESIZE");
    const auto *atoms = reinterpret_cast<const xcb_atom_t *>(supported.constData());
    const auto *end = atoms + supported.size() / sizeof(xcb_atom_t);
    return std::find(atoms, end, moveResize) != end;
}

} // namespace

QList<X11Window> x11Windows()
{
    QList<X11Window> windows;
    xcb_connection_t *c = connection();
    if (!c)
        return windows;
    const xcb_window_t root = rootWindow(c);
    const xcb_atom_t roleAtom = atom(c, "WM_WINDOW_ROLE");

    std::function<void(xcb_window_t, bool)> walk = [&](xcb_window_t parent, bool parentViewable) {
        xcb_query_tree_reply_t *tree = xcb_query_tree_reply(c, xcb_query_tree(c, parent), nullptr);
        if (!tree)
            return;
        const xcb_window_t *children = xcb_query_tree_children(tree);
        const int count = xcb_query_tree_children_length(tree);
        for (int i = 0; i < count; ++i) {
            X11Window window;
            window.id = children[i];
            window.parent = parent;
            window.topLevel = parent == root;
            xcb_get_window_attributes_reply_t *attributes =
                xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, children[i]), nullptr);
            window.viewable = parentViewable && attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
            std::free(attributes);
            window.role = QString::fromUtf8(property(c, children[i], roleAtom));
            window.instanceName = QString::fromUtf8(property(c, children[i], XCB_ATOM_WM_CLASS).split('\0').value(0));
            windows.append(window);
            walk(children[i], window.viewable);
        }
        std::free(tree);
    };
    walk(root, true);
    return windows;
}

QList<X11Window> x11TopLevels(const QString &role)
{
    QList<X11Window> found;
    for (const X11Window &window : x11Windows()) {
        if (window.topLevel && window.viewable && window.role == role)
            found.append(window);
    }
    return found;
}

QString x11TopmostRole()
{
    QString role;
    for (const X11Window &window : x11Windows()) {
        if (window.topLevel && window.viewable && !window.role.isEmpty())
            role = window.role;
    }
    return role;
}

QList<X11Window> x11EmbeddedWindows(const QString &instanceName)
{
    QList<X11Window> found;
    for (const X11Window &window : x11Windows()) {
        if (!window.topLevel && window.viewable && window.instanceName == instanceName)
            found.append(window);
    }
    return found;
}

bool x11TrayManagerPresent()
{
    xcb_connection_t *c = connection();
    if (!c)
        return false;
    xcb_get_selection_owner_reply_t *reply =
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, atom(c, "_NET_SYSTEM_TRAY_S0")), nullptr);
    const bool present = reply && reply->owner != XCB_NONE;
    std::free(reply);
    return present;
}

QList<QImage> x11WindowIcons(quint32 window)
{
    QList<QImage> icons;
    xcb_connection_t *c = connection();
    if (!c)
        return icons;
    xcb_get_property_reply_t *reply =
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, atom(c, "_NET_WM_ICON"), XCB_ATOM_CARDINAL, 0, 1 << 20), nullptr);
    if (!reply)
        return icons;
    // Width, height, then the rows of ARGB values, for each icon.
    const auto *values = static_cast<const quint32 *>(xcb_get_property_value(reply));
    const qsizetype count = xcb_get_property_value_length(reply) / 4;
    for (qsizetype at = 0; at + 2 <= count;) {
        const qsizetype width = values[at];
        const qsizetype height = values[at + 1];
        if (width <= 0 || height <= 0 || at + 2 + width * height > count)
            break;
        QImage icon(int(width), int(height), QImage::Format_ARGB32);
        for (int y = 0; y < height; ++y)
            std::memcpy(icon.scanLine(y), values + at + 2 + y * width, size_t(width) * 4);
        icons.append(icon);
        at += 2 + width * height;
    }
    std::free(reply);
    return icons;
}

QPoint x11ScreenPosition(quint32 window)
{
    xcb_connection_t *c = connection();
    if (!c)
        return {-1, -1};
    xcb_translate_coordinates_reply_t *reply =
        xcb_translate_coordinates_reply(c, xcb_translate_coordinates(c, window, rootWindow(c), 0, 0), nullptr);
    const QPoint position = reply ? QPoint(reply->dst_x, reply->dst_y) : QPoint(-1, -1);
    std::free(reply);
    return position;
}

X11WindowManager::X11WindowManager()
{
    // Openbox announces itself before it manages new windows; its start-up command runs after.
    const QString ready = folder_.filePath(QStringLiteral("ready"));
    process_.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable"), QStringLiteral("--startup"), "touch " + ready});
    if (!process_.waitForStarted(5000))
        problem_ = QStringLiteral("openbox did not start: ") + process_.errorString();
    else if (!waitUntil([&] { return QFile::exists(ready) && windowManagerMoves(); }))
        problem_ = QStringLiteral("openbox does not announce window moves");
}

X11WindowManager::~X11WindowManager()
{
    process_.terminate();
    process_.waitForFinished(5000);
    if (xcb_connection_t *c = connection()) {
        for (const QByteArray name : {"_NET_SUPPORTED", "_NET_SUPPORTING_WM_CHECK"})
            xcb_delete_property(c, rootWindow(c), atom(c, name));
        xcb_flush(c);
        waitUntil([] { return !windowManagerMoves(); }, std::chrono::seconds(2));
    }
}

} // namespace kestrivane::test
