#pragma once

namespace kestrivane {

// Whether a compositing manager runs on the X display (the _NET_WM_CM_S<screen> selection of the
// default screen has an owner). False without an X11 connection (Wayland, offscreen). Without
// one, nothing translucent may be drawn over an unknown background.
bool compositorRunning();

} // namespace kestrivane
