#!/usr/bin/python3
"""Reads the running program's accessibility tree through AT-SPI, as a screen reader does.

Run inside its own D-Bus session (dbus-run-session); starts a virtual X display and the program on
it. Usage: atspi_tree_check.py PATH-TO-ORVEX. Exits 77 (skipped) where AT-SPI, Python's pyatspi or
Xvfb is missing.
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

SKIPPED = 77


def skip(reason):
    print("SKIP: " + reason)
    sys.exit(SKIPPED)


try:
    import pyatspi
except Exception as error:  # the module or its typelib is missing
    skip("no AT-SPI for Python here (Debian: python3-pyatspi): %s" % error)
if not shutil.which("Xvfb"):
    skip("no Xvfb here")
if not os.environ.get("DBUS_SESSION_BUS_ADDRESS"):
    skip("no D-Bus session (run under dbus-run-session)")


def wait_for(what, probe, seconds=20):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        found = probe()
        if found:
            return found
        time.sleep(0.2)
    raise AssertionError("timed out waiting for " + what)


def descendants(node, depth=0):
    if node is None or depth > 30:
        return
    yield node
    for i in range(node.childCount):
        yield from descendants(node.getChildAtIndex(i), depth + 1)


def find_application(name):
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        if app is not None and app.name == name:
            return app
    return None


def press_action(node):
    actions = node.queryAction()
    for i in range(actions.nActions):
        if actions.getName(i).lower() == "press":
            return actions, i
    raise AssertionError("%s has no press action" % node.name)


def pump(seconds):
    """Runs the GLib main loop for a while, so that event listeners hear what arrived."""
    from gi.repository import GLib
    context = GLib.MainContext.default()
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        while context.iteration(False):
            pass
        time.sleep(0.01)


def has_state(node, state):
    return node.getState().contains(state)


def by_role_and_name(root, role, name):
    return [n for n in descendants(root) if n.getRole() == role and n.name == name]


def check_menu_press(app, window, display):
    """A menu entry that opens a modal window answers the press at once."""
    entry = wait_for("the menu entry", lambda: next(
        (n for n in descendants(window) if n.name == "\u00dcber Orvex 1.7"), None))
    actions, index = press_action(entry)
    started = time.monotonic()
    actions.doAction(index)
    took = time.monotonic() - started
    assert took < 0.1, "the menu press took %.3f s" % took
    wait_for("the About window", lambda: next(
        (w for w in (app.getChildAtIndex(i) for i in range(app.childCount))
         if w is not None and w.name == "Info" and has_state(w, pyatspi.STATE_ACTIVE)), None))
    subprocess.run(["xdotool", "key", "Escape"], env=dict(os.environ, DISPLAY=display), check=True)
    wait_for("the About window to close", lambda: not any(
        w is not None and w.name == "Info" and has_state(w, pyatspi.STATE_SHOWING)
        for w in (app.getChildAtIndex(i) for i in range(app.childCount))))
    return took


def check_busy_and_stop(window):
    """The public-address query against a server that never answers: the window is busy, the box's
    button reads Stopp, the others are insensitive; pressing Stopp ends it."""
    ok = next(b for b in by_role_and_name(window, pyatspi.ROLE_PUSH_BUTTON, "OK")
              if b.description == "IP Adresse hinter Router/Proxy")
    actions, index = press_action(ok)
    actions.doAction(index)
    stop = wait_for("the Stopp button", lambda: next(
        iter(by_role_and_name(window, pyatspi.ROLE_PUSH_BUTTON, "Stopp")), None))
    assert has_state(window, pyatspi.STATE_BUSY), "the window does not say it is busy"
    others = [b for b in by_role_and_name(window, pyatspi.ROLE_PUSH_BUTTON, "OK")]
    assert others and not any(has_state(b, pyatspi.STATE_SENSITIVE) for b in others), \
        "another box's button stays available"
    actions, index = press_action(stop)
    actions.doAction(index)
    wait_for("the end of the busy state", lambda: not has_state(window, pyatspi.STATE_BUSY))
    assert not by_role_and_name(window, pyatspi.ROLE_PUSH_BUTTON, "Stopp")


def check_ping_lines_announced(window, by_name):
    """Three echo requests to this machine: each new line of the reply list (and the closing line)
    reaches the screen reader as a new child of the list, named with its text."""
    replies = by_name["Ping-Antworten"][0]
    added = []

    def heard(event):
        if event.source == replies and event.type.endswith(":add"):
            added.append(event.any_data.name if event.any_data is not None else "")
    pyatspi.Registry.registerEventListener(heard, "object:children-changed")
    by_name["Ping-Ziel"][0].queryEditableText().setTextContents("127.0.0.1")
    by_name["Anzahl"][0].queryEditableText().setTextContents("3")
    start = next(iter(by_role_and_name(window, pyatspi.ROLE_PUSH_BUTTON, "Start")))
    actions, index = press_action(start)
    actions.doAction(index)
    deadline = time.monotonic() + 20
    while len(added) < 4 and time.monotonic() < deadline:
        pump(0.1)
    pyatspi.Registry.deregisterEventListener(heard, "object:children-changed")
    lines = [name for name in added if "icmp_seq=" in name]
    assert len(lines) == 3, "heard %r" % added
    assert all(line.startswith("72 bytes - icmp_seq=") for line in lines), "heard %r" % added
    return added


def silent_server():
    """A loopback server that takes connections and never answers."""
    import socket
    server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    server.bind(("127.0.0.1", 0))
    server.listen(8)
    return server


def main():
    silent = silent_server()
    read_end, write_end = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24",
                             "-nolisten", "tcp"], pass_fds=(write_end,), stderr=subprocess.DEVNULL)
    os.close(write_end)
    display = os.read(read_end, 16).decode().strip()
    config = tempfile.mkdtemp(prefix="orvex-atspi-")
    env = dict(os.environ, DISPLAY=":" + display, QT_QPA_PLATFORM="xcb", XDG_CONFIG_HOME=config,
               QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1",
               ORVEX_PUBLIC_ADDRESS_URL="http://127.0.0.1:%d/" % silent.getsockname()[1])
    program = subprocess.Popen([sys.argv[1]], env=env)
    try:
        app = wait_for("the program on the accessibility bus", lambda: find_application("orvex"))
        window = wait_for("the main window", lambda: app.childCount and app.getChildAtIndex(0))
        nodes = wait_for("the main window's controls",
                         lambda: [n for n in descendants(window) if n.name == "Anzahl"] and
                         list(descendants(window)))
        by_name = {}
        for node in nodes:
            by_name.setdefault(node.name, []).append(node)
        for name in ["IP to Hostname", "Hostname to IP", "Mac-Adresse", "Ping-Ziel", "Anzahl",
                     "Ping-Antworten", "Lokale IP-Adresse", "Gateway", "Verbindung", "Uhrzeit",
                     "Proxy", "Erhöhen", "Verringern"]:
            assert name in by_name, "no control named %r in %s" % (name, sorted(by_name))
        buttons = [n for n in nodes if n.getRole() == pyatspi.ROLE_PUSH_BUTTON]
        assert len(buttons) >= 7, "only %d push buttons" % len(buttons)
        for button in buttons:
            assert button.name, "a push button without a name"
        clock = by_name["Uhrzeit"][0]
        assert clock.getRole() != pyatspi.ROLE_UNKNOWN

        # OK of "IP to Hostname" with the field empty opens a modal notice; the press returns at
        # once all the same.
        ok = next(b for b in buttons if b.name == "OK" and b.description == "IP to Hostname")
        actions, index = press_action(ok)
        started = time.monotonic()
        actions.doAction(index)
        took = time.monotonic() - started
        assert took < 2.0, "the press action took %.1f s" % took
        notice = wait_for("the notice", lambda: next(
            (w for w in (app.getChildAtIndex(i) for i in range(app.childCount))
             if w is not None and w.name == "Information"), None))
        # A notice or error report is an alert, which a screen reader reads out as it appears.
        assert notice.getRole() == pyatspi.ROLE_ALERT, "the notice is a %s" % notice.getRoleName()
        close = next(n for n in descendants(notice)
                     if n.getRole() == pyatspi.ROLE_PUSH_BUTTON and n.name == "OK")
        actions, index = press_action(close)
        actions.doAction(index)
        wait_for("the notice to close", lambda: not any(
            w is not None and w.name == "Information" and has_state(w, pyatspi.STATE_SHOWING)
            for w in (app.getChildAtIndex(i) for i in range(app.childCount))))
        menu_took = check_menu_press(app, window, ":" + display)
        check_busy_and_stop(window)
        heard = check_ping_lines_announced(window, by_name)
        print("AT-SPI tree: %d nodes, %d named push buttons; press returned in %.3f s, menu press in"
              " %.3f s; busy state and Stopp; %d new list rows heard"
              % (len(nodes), len(buttons), took, menu_took, len(heard)))
    finally:
        program.terminate()
        program.wait(10)
        xvfb.terminate()
        xvfb.wait(10)
        shutil.rmtree(config, ignore_errors=True)
        silent.close()


if __name__ == "__main__":
    main()
