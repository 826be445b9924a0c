#!/usr/bin/env python3
"""The console as a screen reader meets it: over the real accessibility bus.

Runs the console on a simulated receiver that sends some frames with a wrong checksum, inside
a private D-Bus session and X server (Xvfb), with the accessibility bus and its registry, and
reads it through the AT-SPI client library as a screen reader does:

  - a value panel of the main window (UTC Time): named by its caption, its value as text;
  - the source panels (COM1, Source): named by their captions, their texts readable;
  - the Error Window, which pops up for the refused frames: its lines as text.

Monitoring is started from the SysCmd menu through the bus, as a screen reader user would.

    accessibility_bus_test.py --ornivex PATH --vexor PATH

Exit status 0 when everything was read, 1 on a failure, 77 (skipped) with a message when a
piece of the bus (dbus-run-session, Xvfb, the AT-SPI bus launcher, python3-pyatspi) is
missing; scripts/install-deps.sh installs them.
"""

import argparse
import os
import re
import select
import shutil
import subprocess
import sys
import time

SKIPPED = 77
LAUNCHERS = ("/usr/libexec/at-spi-bus-launcher", "/usr/lib/at-spi2-core/at-spi-bus-launcher")
SIM_UTC = "2021-03-04T05:06:07"  # the simulated receiver's clock at its start
TIMEOUT_S = 60.0  # bounds every wait below; a passing run takes a few seconds


def skip(message):
    print("skipped: " + message)
    sys.exit(SKIPPED)


def fail(message):
    print("FAILED: " + message)
    sys.exit(1)


def missing_pieces():
    missing = [tool for tool in ("dbus-run-session", "Xvfb") if not shutil.which(tool)]
    if not any(os.access(path, os.X_OK) for path in LAUNCHERS):
        missing.append("at-spi-bus-launcher (at-spi2-core)")
    try:
        import pyatspi  # noqa: F401
    except ImportError:
        missing.append("pyatspi (python3-pyatspi) for " + sys.executable)
    return missing


def poll(what, probe, timeout=TIMEOUT_S, interval=0.05):
    """Calls probe() until it returns something true, at most timeout seconds."""
    deadline = time.monotonic() + timeout
    last_error = None
    while time.monotonic() < deadline:
        try:
            found = probe()
            if found:
                return found
        except Exception as e:  # the bus answers with errors while windows come and go
            last_error = e
        time.sleep(interval)
    fail("%s: not seen within %.0f s%s" % (what, timeout,
                                          " (last error: %s)" % last_error if last_error else ""))


def start_x_server():
    """Xvfb on a free display; -displayfd tells us which once it accepts connections (the
    number, then a newline: the pipe stays open until both are read, or the server fails)."""
    read_end, write_end = os.pipe()
    server = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24", "-nolisten",
         "tcp"],
        pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    number = b""
    deadline = time.monotonic() + TIMEOUT_S
    while not number.endswith(b"\n") and time.monotonic() < deadline:
        ready, _, _ = select.select([read_end], [], [], deadline - time.monotonic())
        piece = os.read(read_end, 16) if ready else b""
        if not piece:
            break
        number += piece
    os.close(read_end)
    if not number.endswith(b"\n"):
        server.kill()
        server.wait()
        fail("Xvfb did not start")
    return server, ":" + number.decode().strip()


def start_simulated_receiver(vexor):
    """`vexor sim` on a pseudo-terminal, ten times as fast as real time (up and reporting at
    once): a fifth of its frames with a wrong checksum."""
    sim = subprocess.Popen(
        [vexor, "sim", "--utc", SIM_UTC, "--corrupt", "0.2", "--seed", "5", "--speed", "10",
         "--quiet"],
        stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    ready, _, _ = select.select([sim.stdout], [], [], TIMEOUT_S)
    path = sim.stdout.readline().decode().strip() if ready else ""
    if not path:
        sim.kill()
        fail("vexor sim printed no pseudo-terminal path")
    return sim, path


def announce_screen_reader():
    """Says on the accessibility bus that a screen reader runs, as one does when it starts:
    Qt bridges its widgets to the bus only then."""
    from gi.repository import Gio, GLib
    bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    bus.call_sync("org.a11y.Bus", "/org/a11y/bus", "org.freedesktop.DBus.Properties", "Set",
                  GLib.Variant("(ssv)", ("org.a11y.Status", "ScreenReaderEnabled",
                                         GLib.Variant("b", True))),
                  None, Gio.DBusCallFlags.NONE, int(TIMEOUT_S * 1000), None)


def children(node):
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            yield child


def walk(node, depth=0):
    """Every accessible under node, depth first."""
    yield node
    if depth < 40:
        for child in children(node):
            yield from walk(child, depth + 1)


def text_of(accessible):
    """What a screen reader reads as the object's text: its Text interface, or None."""
    try:
        text = accessible.queryText()
    except NotImplementedError:
        return None
    return text.getText(0, -1)


def find(root, role, name):
    for node in walk(root):
        if node.getRoleName() == role and node.name == name:
            return node
    return None


def inner(args):
    x_server, display = start_x_server()
    os.environ["DISPLAY"] = display
    sim = console = None
    log = open(os.path.join(args.workdir, "ornivex.log"), "w+")
    try:
        # The client library starts the accessibility bus (at-spi-bus-launcher, activated on
        # the session bus) and its registry.
        import pyatspi
        desktop = pyatspi.Registry.getDesktop(0)

        announce_screen_reader()

        sim, pty = start_simulated_receiver(args.vexor)
        env = dict(os.environ)
        env["QT_QPA_PLATFORM"] = "xcb"
        env["XDG_RUNTIME_DIR"] = args.workdir
        console = subprocess.Popen([args.ornivex, "--com", "1=" + pty], env=env, stdout=log,
                                   stderr=subprocess.STDOUT)

        def application():
            if console.poll() is not None:
                fail("ornivex ended with status %d" % console.returncode)
            return next((a for a in children(desktop) if a.name == "Ornivex"), None)

        app = poll("the console on the accessibility registry", application)
        main = poll("the main window",
                    lambda: next((w for w in children(app) if w.getRoleName() == "frame"
                                  and w.name.startswith("Ornivex")), None))

        # Start Monitor (SysCmd menu) through the bus.
        item = poll("the Start Monitor menu item", lambda: find(main, "menu item",
                                                                "Start Monitor"))
        item.queryAction().doAction(0)

        # A value panel: its caption is its name, the value is its text (not its name).
        utc = poll("the UTC Time panel",
                   lambda: next((n for n in walk(main) if n.getRoleName() == "label"
                                 and n.name == "UTC Time" and text_of(n) is not None), None))
        shown = poll("a UTC time on the UTC Time panel",
                     lambda: re.fullmatch(r"(\d\d):(\d\d):(\d\d)", text_of(utc)))
        start = time.strptime(SIM_UTC[11:], "%H:%M:%S")
        elapsed = (int(shown.group(1)) - start.tm_hour) * 3600 + \
            (int(shown.group(2)) - start.tm_min) * 60 + int(shown.group(3)) - start.tm_sec
        if not 0 <= elapsed <= TIMEOUT_S * 2:
            fail("UTC Time reads %s, not the simulated receiver's clock (from %s)"
                 % (shown.group(0), SIM_UTC))
        print("UTC Time panel: name %r, text %r" % (utc.name, text_of(utc)))

        # The source panels: COM1 (the one monitored) and the source text.
        com1 = find(main, "label", "COM1")
        source = find(main, "label", "Source")
        if com1 is None or text_of(com1) != "1":
            fail("the COM1 panel reads %r" % (text_of(com1) if com1 else None))
        if source is None or not (text_of(source) or "").startswith("COM1"):
            fail("the Source panel reads %r" % (text_of(source) if source else None))
        print("COM1 panel: text %r; Source panel: text %r" % (text_of(com1), text_of(source)))

        # The Error Window pops up for the refused frames; its memo gives the lines as text.
        def error_line():
            window = find(app, "dialog", "Error Window")
            memo = window and find(window, "text", "Refused frames")
            lines = (text_of(memo) or "").split("\n") if memo else []
            return next((l for l in lines if l.startswith("Checksum Error:")), None)

        line = poll("a Checksum Error line in the Error Window", error_line)
        if not re.fullmatch(r"Checksum Error:     81( [0-9A-F]{2})+ 82 ", line):
            fail("the Error Window's line reads %r" % line)
        print("Error Window line: %r" % line)
        return 0
    finally:
        for process in (console, sim):
            if process is not None and process.poll() is None:
                process.terminate()
                try:
                    process.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait()
        x_server.terminate()
        x_server.wait()
        log.seek(0)
        output = log.read()
        if output.strip():
            print("--- ornivex output ---\n" + output)
        log.close()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--ornivex", required=True)
    parser.add_argument("--vexor", required=True)
    parser.add_argument("--inner", action="store_true", help=argparse.SUPPRESS)
    parser.add_argument("--workdir", default=None, help=argparse.SUPPRESS)
    args = parser.parse_args()
    if args.inner:
        sys.exit(inner(args))

    missing = missing_pieces()
    if missing:
        skip("the accessibility bus test needs " + ", ".join(missing))
    import tempfile
    with tempfile.TemporaryDirectory(prefix="ornivex-a11y-") as workdir:
        # A private session bus, which the accessibility bus launcher is activated on; it ends
        # with the test, taking the launcher and the registry with it.
        command = ["dbus-run-session", "--", sys.executable, os.path.abspath(__file__),
                   "--inner", "--ornivex", args.ornivex, "--vexor", args.vexor,
                   "--workdir", workdir]
        env = dict(os.environ)
        for name in ("DBUS_SESSION_BUS_ADDRESS", "AT_SPI_BUS_ADDRESS", "DISPLAY"):
            env.pop(name, None)
        try:
            result = subprocess.run(command, env=env, timeout=TIMEOUT_S * 3)
        except subprocess.TimeoutExpired:
            fail("the test did not end within %.0f s" % (TIMEOUT_S * 3))
        sys.exit(result.returncode)


if __name__ == "__main__":
    main()
