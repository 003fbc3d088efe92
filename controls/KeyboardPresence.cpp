#include "controls/KeyboardPresence.h"

#include <QGuiApplication>

#include <cstring>
#include <vector>

#include <wayland-client.h>

namespace orvex {

namespace {

struct Seats {
    std::vector<wl_seat*> seats;
    bool keyboard = false;
};

void seatCapabilities(void* data, wl_seat*, uint32_t capabilities) {
    if (capabilities & WL_SEAT_CAPABILITY_KEYBOARD) static_cast<Seats*>(data)->keyboard = true;
}

void seatName(void*, wl_seat*, const char*) {}

const wl_seat_listener kSeatListener = {seatCapabilities, seatName};

void global(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
    if (std::strcmp(interface, wl_seat_interface.name) != 0) return;
    auto* found = static_cast<Seats*>(data);
    auto* seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    wl_seat_add_listener(seat, &kSeatListener, found);
    found->seats.push_back(seat);
}

void globalRemove(void*, wl_registry*, uint32_t) {}

const wl_registry_listener kRegistryListener = {global, globalRemove};

} // namespace

bool keyboardPresent() {
    if (QGuiApplication::platformName() != QLatin1String("wayland")) return true;
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr) return true; // no second connection: trust Qt's
    Seats found;
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &kRegistryListener, &found);
    wl_display_roundtrip(display); // the globals, and with them the seats
    wl_display_roundtrip(display); // each seat's capabilities
    for (wl_seat* seat : found.seats)
        wl_seat_destroy(seat);
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
    return found.keyboard;
}

} // namespace orvex
