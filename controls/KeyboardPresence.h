// Whether the window system offers a keyboard. A Wayland compositor may offer none (a headless or
// kiosk session), and Qt 6.4 then crashes when a combo box drops its list open, as it looks for the
// keyboard's text input; such a list stays closed.
#pragma once

namespace orvex {

// True on every window system but Wayland; on Wayland, whether the compositor has a seat with a
// keyboard, asked anew on each call over a connection of its own (a round trip of a millisecond).
bool keyboardPresent();

} // namespace orvex
