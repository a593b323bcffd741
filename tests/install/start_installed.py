#!/usr/bin/env python3
"""Starts an installed Tonvista on an X server without a window manager (as
under xvfb-run), presses OK in the sound-device dialog and checks that the
main window appears with the program's 32 x 32 icon, which shows that the
installed program found its engine.

usage: start_installed.py PROGRAM [--shot FILE.png]
Exit status 0 when the main window showed, 1 otherwise (with the reason).
"""
import ctypes
import os
import shutil
import subprocess
import sys
import tempfile
import time

from ctypes import POINTER, byref, c_char_p, c_int, c_long, c_uint, c_ulong, c_void_p

DIALOG_TITLE = "サウンドーボードの選択"
MAIN_TITLE_START = "PSK Tonvista"
# The OK button's centre as a fraction of the dialog's client area (twips).
OK_AT = ((240 + 1485 / 2) / 3885, (540 + 435 / 2) / 1200)
WAIT_SECONDS = 60  # for the program to start and show a window on a loaded machine


class XWindowAttributes(ctypes.Structure):
    _fields_ = [("x", c_int), ("y", c_int), ("width", c_int), ("height", c_int),
                ("border_width", c_int), ("depth", c_int), ("visual", c_void_p),
                ("root", c_ulong), ("class_", c_int), ("bit_gravity", c_int),
                ("win_gravity", c_int), ("backing_store", c_int), ("backing_planes", c_ulong),
                ("backing_pixel", c_ulong), ("save_under", c_int), ("colormap", c_ulong),
                ("map_installed", c_int), ("map_state", c_int), ("all_event_masks", c_long),
                ("your_event_mask", c_long), ("do_not_propagate_mask", c_long),
                ("override_redirect", c_int), ("screen", c_void_p)]


class X:
    IS_VIEWABLE = 2

    def __init__(self):
        self.lib = ctypes.CDLL("libX11.so.6")
        self.tst = ctypes.CDLL("libXtst.so.6")
        lib = self.lib
        lib.XOpenDisplay.restype = c_void_p
        lib.XOpenDisplay.argtypes = [c_char_p]
        lib.XDefaultRootWindow.restype = c_ulong
        lib.XDefaultRootWindow.argtypes = [c_void_p]
        lib.XInternAtom.restype = c_ulong
        lib.XInternAtom.argtypes = [c_void_p, c_char_p, c_int]
        lib.XQueryTree.argtypes = [c_void_p, c_ulong, POINTER(c_ulong), POINTER(c_ulong),
                                   POINTER(POINTER(c_ulong)), POINTER(c_uint)]
        lib.XGetWindowAttributes.argtypes = [c_void_p, c_ulong, POINTER(XWindowAttributes)]
        lib.XGetWindowProperty.argtypes = [c_void_p, c_ulong, c_ulong, c_long, c_long, c_int,
                                           c_ulong, POINTER(c_ulong), POINTER(c_int),
                                           POINTER(c_ulong), POINTER(c_ulong),
                                           POINTER(c_void_p)]
        lib.XFree.argtypes = [c_void_p]
        lib.XFlush.argtypes = [c_void_p]
        lib.XSync.argtypes = [c_void_p, c_int]
        self.tst.XTestFakeMotionEvent.argtypes = [c_void_p, c_int, c_int, c_int, c_ulong]
        self.tst.XTestFakeButtonEvent.argtypes = [c_void_p, c_uint, c_int, c_ulong]
        self.display = lib.XOpenDisplay(None)
        if not self.display:
            raise SystemExit("start_installed: no X display (run it under xvfb-run)")
        self.root = lib.XDefaultRootWindow(self.display)

    def atom(self, name):
        return self.lib.XInternAtom(self.display, name.encode(), 0)

    def viewable_top_levels(self):
        root, parent, children, count = c_ulong(), c_ulong(), POINTER(c_ulong)(), c_uint()
        self.lib.XSync(self.display, 0)
        if not self.lib.XQueryTree(self.display, self.root, byref(root), byref(parent),
                                   byref(children), byref(count)):
            return []
        windows = [children[i] for i in range(count.value)]
        if children:
            self.lib.XFree(children)
        shown = []
        for w in windows:
            a = XWindowAttributes()
            if self.lib.XGetWindowAttributes(self.display, w, byref(a)) and \
                    a.map_state == self.IS_VIEWABLE:
                shown.append((w, a))
        return shown

    def property(self, window, name, kind):
        """The property's items: bytes for 8-bit data, a list of ints for 32-bit data."""
        actual, fmt, n, after, data = c_ulong(), c_int(), c_ulong(), c_ulong(), c_void_p()
        if self.lib.XGetWindowProperty(self.display, window, self.atom(name), 0, 1 << 24, 0,
                                       self.atom(kind), byref(actual), byref(fmt), byref(n),
                                       byref(after), byref(data)) != 0 or not data:
            return None
        try:
            if fmt.value == 8:
                return ctypes.string_at(data, n.value)
            if fmt.value == 32:  # Xlib hands 32-bit items over as C longs
                return list(ctypes.cast(data, POINTER(c_long))[:n.value])
            return None
        finally:
            self.lib.XFree(data)

    def title(self, window):
        name = self.property(window, "_NET_WM_NAME", "UTF8_STRING")
        return name.decode("utf-8", "replace") if name else ""

    def icon_sizes(self, window):
        items = self.property(window, "_NET_WM_ICON", "CARDINAL") or []
        sizes, i = [], 0
        while i + 2 <= len(items):
            w, h = items[i], items[i + 1]
            sizes.append((w, h))
            i += 2 + w * h
        return sizes

    def click(self, x, y):
        self.tst.XTestFakeMotionEvent(self.display, -1, x, y, 0)
        self.tst.XTestFakeButtonEvent(self.display, 1, 1, 0)
        self.tst.XTestFakeButtonEvent(self.display, 1, 0, 0)
        self.lib.XFlush(self.display)


def wait_for_window(x, program, title_test):
    deadline = time.monotonic() + WAIT_SECONDS
    while time.monotonic() < deadline:
        if program.poll() is not None:
            return None
        for w, a in x.viewable_top_levels():
            if title_test(x.title(w)):
                return w, a
        time.sleep(0.1)
    return None


def main():
    if len(sys.argv) not in (2, 4) or (len(sys.argv) == 4 and sys.argv[2] != "--shot"):
        raise SystemExit(__doc__)
    path = os.path.abspath(sys.argv[1])
    shot = sys.argv[3] if len(sys.argv) == 4 else None
    x = X()
    # Started from its own folder, as an installed program is.
    errors = tempfile.TemporaryFile()
    program = subprocess.Popen([path], cwd=os.path.dirname(path), stderr=errors,
                               env=dict(os.environ, QT_QPA_PLATFORM="xcb"))
    try:
        found = wait_for_window(x, program, lambda t: t == DIALOG_TITLE)
        if found is None:
            return fail(program, errors, "the sound-device dialog did not appear")
        _, a = found
        x.click(a.x + round(a.width * OK_AT[0]), a.y + round(a.height * OK_AT[1]))
        found = wait_for_window(x, program, lambda t: t.startswith(MAIN_TITLE_START))
        if found is None:
            return fail(program, errors, "the main window did not appear")
        window, a = found
        sizes = x.icon_sizes(window)
        if (32, 32) not in sizes:
            return fail(program, errors, f"the main window has no 32 x 32 icon (icons: {sizes})")
        if shot and shutil.which("import"):
            time.sleep(1)  # let the first notifications draw, for the picture only
            subprocess.run(["import", "-window", "root", shot], check=True)
        print(f"start_installed: main window {a.width} x {a.height} shown, icons {sizes}")
        return 0
    finally:
        if program.poll() is None:
            program.terminate()
            try:
                program.wait(10)
            except subprocess.TimeoutExpired:
                program.kill()


def fail(program, errors, reason):
    if program.poll() is None:
        program.terminate()
        try:
            program.wait(10)
        except subprocess.TimeoutExpired:
            program.kill()
            program.wait()
    print(f"start_installed: {reason} (exit {program.returncode})", file=sys.stderr)
    errors.seek(0)
    sys.stderr.write(errors.read().decode("utf-8", "replace"))
    return 1


if __name__ == "__main__":
    sys.exit(main())
