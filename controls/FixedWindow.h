// Windows of one fixed size, which every window system must treat as such.
#pragma once

#include <QSize>

class QWidget;

namespace orvex {

// Fixes window at size (minimum = maximum, which X11 window managers and Wayland
// compositors read as "not resizable") and keeps it out of the maximised and full-screen states:
// a request for them that comes anyway (a title bar Qt draws itself offers maximise whatever the
// window's hints say, and a compositor may maximise on its own) is answered by going back to the
// normal state at once, before the window is drawn at a size that does not fit the state.
void fixWindowSize(QWidget* window, QSize size);

} // namespace orvex
