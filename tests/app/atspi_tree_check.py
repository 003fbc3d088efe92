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


def main():
    read_end, write_end = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24",
                             "-nolisten", "tcp"], pass_fds=(write_end,), stderr=subprocess.DEVNULL)
    os.close(write_end)
    display = os.read(read_end, 16).decode().strip()
    config = tempfile.mkdtemp(prefix="orvex-atspi-")
    env = dict(os.environ, DISPLAY=":" + display, QT_QPA_PLATFORM="xcb", XDG_CONFIG_HOME=config,
               QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1")
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
        close = next(n for n in descendants(notice)
                     if n.getRole() == pyatspi.ROLE_PUSH_BUTTON and n.name == "OK")
        actions, index = press_action(close)
        actions.doAction(index)
        print("AT-SPI tree: %d nodes, %d named push buttons; press returned in %.3f s"
              % (len(nodes), len(buttons), took))
    finally:
        program.terminate()
        program.wait(10)
        xvfb.terminate()
        xvfb.wait(10)
        shutil.rmtree(config, ignore_errors=True)


if __name__ == "__main__":
    main()
