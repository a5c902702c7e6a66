#!/usr/bin/python3
"""The tray icon of a running Tavlo appears when a notification area starts after Tavlo did.

Runs inside a virtual X display (xvfb-run): starts tavlo with a data folder of its own, waits for its
main window (whose window class must be the desktop entry's StartupWMClass), then becomes the display's
notification area itself (the freedesktop system-tray protocol: owner of _NET_SYSTEM_TRAY_S0, MANAGER
announced on the root window) and waits for Tavlo's request to dock its icon.

Usage: tray_test.py TAVLO DESKTOP_ENTRY"""
import os
import select
import signal
import subprocess
import sys
import tempfile
import time

from Xlib import X, display
from Xlib.protocol import event

DEADLINE = 120  # seconds, for a loaded machine; every wait ends as soon as its condition holds
REQUEST_DOCK = 0


def fail(message):
    print("FAIL:", message)
    sys.exit(1)


def wait_for(disp, condition, what, proc):
    """Polls `condition` on every X event (and at least every 0.2 s) until it returns a value."""
    end = time.monotonic() + DEADLINE
    while time.monotonic() < end:
        if proc.poll() is not None:
            fail(f"tavlo ended (status {proc.returncode}) while waiting for {what}")
        while disp.pending_events():
            result = condition(disp.next_event())
            if result:
                return result
        result = condition(None)
        if result:
            return result
        select.select([disp.fileno()], [], [], 0.2)
    fail(f"no {what} within {DEADLINE} s")


def window_class(win):
    try:
        value = win.get_wm_class()
    except Exception:
        return None
    return value


def window_pid(disp, win):
    try:
        prop = win.get_full_property(disp.intern_atom("_NET_WM_PID"), X.AnyPropertyType)
    except Exception:
        return None
    return prop.value[0] if prop and len(prop.value) else None


def main():
    tavlo, desktop_entry = sys.argv[1], sys.argv[2]
    wm_class = next(line.split("=", 1)[1].strip() for line in open(desktop_entry, encoding="utf-8")
                    if line.startswith("StartupWMClass="))
    disp = display.Display()
    screen = disp.screen()
    root = screen.root
    selection = disp.intern_atom(f"_NET_SYSTEM_TRAY_S{disp.get_default_screen()}")
    if disp.get_selection_owner(selection) != X.NONE:
        fail("the display already has a notification area")

    home = tempfile.mkdtemp(prefix="tavlo-tray-")
    env = dict(os.environ, TAVLO_HOME=home, QT_QPA_PLATFORM="xcb")
    env.pop("DBUS_SESSION_BUS_ADDRESS", None)  # the X11 protocol, not a D-Bus tray of the session
    proc = subprocess.Popen([tavlo], env=env)
    try:
        def main_window(_):
            for win in root.query_tree().children:
                cls = window_class(win)
                if cls and cls[1] == wm_class and win.get_attributes().map_state == X.IsViewable:
                    return win
            return None

        wait_for(disp, main_window, f"main window of class {wm_class}", proc)

        # Now the notification area starts.
        tray = root.create_window(0, 0, 1, 1, 0, screen.root_depth)
        opcode = disp.intern_atom("_NET_SYSTEM_TRAY_OPCODE")
        tray.set_selection_owner(selection, X.CurrentTime)
        disp.sync()
        if disp.get_selection_owner(selection) != tray:
            fail("could not become the notification area")
        manager = disp.intern_atom("MANAGER")
        root.send_event(event.ClientMessage(window=root, client_type=manager,
                                            data=(32, [X.CurrentTime, selection, tray.id, 0, 0])),
                        event_mask=X.StructureNotifyMask)
        disp.flush()

        def dock_request(ev):
            if ev is not None and ev.type == X.ClientMessage and ev.client_type == opcode:
                _, data = ev.data
                if data[1] == REQUEST_DOCK:
                    return data[2]
            return None

        icon = wait_for(disp, dock_request, "request to dock the tray icon", proc)
        pid = window_pid(disp, disp.create_resource_object("window", icon))
        if pid not in (None, proc.pid):
            fail(f"the docked icon belongs to process {pid}, not to tavlo ({proc.pid})")
        print(f"tray icon window {icon:#x} docked; main window class {wm_class}")
    finally:
        if proc.poll() is None:
            proc.send_signal(signal.SIGTERM)
        try:
            proc.wait(DEADLINE)
        except subprocess.TimeoutExpired:
            proc.kill()
            fail("tavlo did not end after SIGTERM")


if __name__ == "__main__":
    main()
