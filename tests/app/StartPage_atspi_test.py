#!/usr/bin/python3
"""The start page as a screen reader meets it: the program runs on its own
display, and over the accessibility bus (AT-SPI) each way to begin is a push
button whose name is its caption and whose description is its line.

Run inside a session bus, e.g.
    dbus-run-session -- StartPage_atspi_test.py build/src/keyfolio
The program gets an X display of its own (Xvfb on a free display number).
Exit status 0: every button found as it should be; 1: not, with what was found.
"""
import os
import subprocess
import sys
import time

import pyatspi

EXPECTED = {
    "Import a system keyboard layout...": "Start a keyboard definition from a layout of this system.",
    "Open a keyboard package...": "Load a .vkt package to edit its keys and characters.",
    "Make a dictionary from texts": "Count the words of text files into a dictionary.",
    "Make a typing course": "Pick dictionary words into typing lessons.",
    "Help": "How each tool works, step by step.",
}


def find_application(pid, seconds=30):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        desktop = pyatspi.Registry.getDesktop(0)
        for app in desktop:
            try:
                if app is not None and app.get_process_id() == pid and app.childCount > 0:
                    return app
            except Exception:
                pass
        time.sleep(0.2)
    return None


def push_buttons(node, depth=0, found=None):
    """Every push button under node, as (name, description)."""
    found = [] if found is None else found
    if depth > 30:
        return found
    try:
        if node.getRole() == pyatspi.ROLE_PUSH_BUTTON:
            found.append((node.name, node.description))
        for i in range(node.childCount):
            child = node.getChildAtIndex(i)
            if child is not None:
                push_buttons(child, depth + 1, found)
    except Exception as e:  # a node gone while walked
        print("walk:", e)
    return found


def start_display():
    """An X server on a display number it chooses itself; (process, ":N")."""
    read, write = os.pipe()
    server = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                              pass_fds=(write,), stderr=subprocess.DEVNULL)
    os.close(write)
    number = b""
    while not number.endswith(b"\n"):
        chunk = os.read(read, 16)
        if not chunk:
            break
        number += chunk
    os.close(read)
    return server, ":" + number.decode().strip()


def main():
    program = sys.argv[1]
    server, display = start_display()
    env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", KEYFOLIO_NO_SETTINGS="1", LANG="C",
               DISPLAY=display, QT_QPA_PLATFORM="xcb")  # the bridge to the bus runs on X
    proc = subprocess.Popen([program], env=env)
    try:
        app = find_application(proc.pid)
        if app is None:
            print("the program did not appear on the accessibility bus")
            return 1
        buttons = []
        deadline = time.monotonic() + 20
        while time.monotonic() < deadline:
            buttons = push_buttons(app)
            if all((name, line) in buttons for name, line in EXPECTED.items()):
                return 0
            time.sleep(0.3)
        print("push buttons found:", buttons)
        for name, line in EXPECTED.items():
            if (name, line) not in buttons:
                print("missing:", repr(name), "-", repr(line))
        return 1
    finally:
        proc.terminate()
        try:
            proc.wait(10)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()
        server.terminate()
        server.wait()


if __name__ == "__main__":
    sys.exit(main())
