// Starts a tray program and times, from the exec, its tray icon embedded (its window reparented
// into the tray and mapped there) and its first ordinary window mapped; then, after a pause, sends
// SIGTERM and times the exit. Watches the X server's structure events, so it costs the measured
// program nothing. Usage:
//     kestrivane_startup_probe [--settle MS] [--timeout MS] PROGRAM [ARGUMENTS...]
// Prints one line "icon MS window MS quit MS", with "-" for what did not happen in time.
#include <xcb/xcb.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <optional>
#include <poll.h>
#include <set>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

double nowMs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

xcb_atom_t atom(xcb_connection_t *connection, const char *name)
{
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&free)> reply(
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, uint16_t(strlen(name)), name), nullptr), &free);
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// The window's property as 32-bit values; empty when it has none.
std::optional<uint32_t> cardinal(xcb_connection_t *connection, xcb_window_t window, xcb_atom_t property)
{
    std::unique_ptr<xcb_get_property_reply_t, decltype(&free)> reply(
        xcb_get_property_reply(connection, xcb_get_property(connection, 0, window, property, XCB_ATOM_ANY, 0, 1), nullptr),
        &free);
    if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) < 4)
        return std::nullopt;
    return *static_cast<uint32_t *>(xcb_get_property_value(reply.get()));
}

std::string format(std::optional<double> ms)
{
    if (!ms)
        return "-";
    char text[32];
    snprintf(text, sizeof text, "%.1f", *ms);
    return text;
}

} // namespace

int main(int argc, char **argv)
{
    int settleMs = 1000;
    int timeoutMs = 15000;
    int first = 1;
    while (first + 1 < argc && argv[first][0] == '-') {
        if (!strcmp(argv[first], "--settle"))
            settleMs = atoi(argv[first + 1]);
        else if (!strcmp(argv[first], "--timeout"))
            timeoutMs = atoi(argv[first + 1]);
        else
            break;
        first += 2;
    }
    if (first >= argc) {
        fprintf(stderr, "usage: %s [--settle MS] [--timeout MS] PROGRAM [ARGUMENTS...]\n", argv[0]);
        return 2;
    }

    xcb_connection_t *connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection)) {
        fprintf(stderr, "no X display\n");
        return 2;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    const xcb_atom_t pidAtom = atom(connection, "_NET_WM_PID");
    const uint32_t substructure = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection, root, XCB_CW_EVENT_MASK, &substructure);
    // A round trip: the selection holds before the program starts.
    free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));

    pid_t child = 0;
    const double start = nowMs();
    if (posix_spawnp(&child, argv[first], nullptr, nullptr, argv + first, environ) != 0) {
        fprintf(stderr, "cannot start %s\n", argv[first]);
        return 2;
    }

    std::set<xcb_window_t> reparented;
    // When each of the program's windows was first mapped.
    std::map<xcb_window_t, double> mapped;
    std::optional<double> icon;
    // The first window mapped that stayed out of the tray.
    auto window = [&]() -> std::optional<double> {
        std::optional<double> first;
        for (const auto &[id, at] : mapped) {
            if (!reparented.count(id) && (!first || at < *first))
                first = at;
        }
        return first;
    };
    auto ours = [&](xcb_window_t candidate) { return cardinal(connection, candidate, pidAtom) == uint32_t(child); };
    auto isMapped = [&](xcb_window_t candidate) {
        std::unique_ptr<xcb_get_window_attributes_reply_t, decltype(&free)> attributes(
            xcb_get_window_attributes_reply(connection, xcb_get_window_attributes(connection, candidate), nullptr), &free);
        return attributes && attributes->map_state != XCB_MAP_STATE_UNMAPPED;
    };
    auto handle = [&](xcb_generic_event_t *event) {
        switch (event->response_type & 0x7f) {
        case XCB_CREATE_NOTIFY: {
            // Each new top-level window tells its own reparenting and mapping.
            const uint32_t structure = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
            xcb_change_window_attributes(connection, reinterpret_cast<xcb_create_notify_event_t *>(event)->window,
                                         XCB_CW_EVENT_MASK, &structure);
            xcb_flush(connection);
            break;
        }
        case XCB_REPARENT_NOTIFY: {
            // Reported through the root (the old parent) whenever the tray takes a window.
            auto *reparent = reinterpret_cast<xcb_reparent_notify_event_t *>(event);
            if (reparent->parent == root || !reparented.insert(reparent->window).second)
                break;
            // The tray may have mapped it before this probe's selection on the window took effect.
            if (!icon && isMapped(reparent->window) && ours(reparent->window))
                icon = nowMs() - start;
            break;
        }
        case XCB_MAP_NOTIFY: {
            auto *map = reinterpret_cast<xcb_map_notify_event_t *>(event);
            const double at = nowMs() - start;
            if (!ours(map->window))
                break;
            // Mapped inside the tray: embedded.
            if (reparented.count(map->window)) {
                if (!icon)
                    icon = at;
            } else if (!map->override_redirect) {
                mapped.emplace(map->window, at);
            }
            break;
        }
        default: break;
        }
    };

    auto pump = [&](double until, bool stopWhenSeen) {
        while (!(stopWhenSeen && icon && window())) {
            while (xcb_generic_event_t *event = xcb_poll_for_event(connection)) {
                handle(event);
                free(event);
            }
            if (stopWhenSeen && icon && window())
                break;
            const double left = until - nowMs();
            if (left <= 0)
                break;
            pollfd fd{xcb_get_file_descriptor(connection), POLLIN, 0};
            poll(&fd, 1, int(left) + 1);
        }
    };
    pump(start + timeoutMs, true);
    pump(nowMs() + settleMs, false);

    const double quitStart = nowMs();
    kill(child, SIGTERM);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    const double quit = nowMs() - quitStart;
    xcb_disconnect(connection);
    printf("icon %s window %s quit %s\n", format(icon).c_str(), format(window()).c_str(), format(quit).c_str());
    return icon && window() ? 0 : 1;
}
