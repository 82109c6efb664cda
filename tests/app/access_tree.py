#!/usr/bin/python3
# Reads the program's accessibility tree as a screen reader does and drives it
# through it. Run inside a private session bus (dbus-run-session) with DISPLAY
# set: starts the accessibility bus, the program, prints the tree it reads
# and exits 0 only when every check held and Exit, pressed through its
# action, ended the program.
import os
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib

app_path, settings = sys.argv[1], sys.argv[2]
failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAILED: " + what, flush=True)
    return ok


def eventually(find, seconds=15):
    end = time.time() + seconds
    while time.time() < end:
        while GLib.MainContext.default().iteration(False):
            pass  # events to the listeners
        found = find()
        if found:
            return found
        time.sleep(0.1)
    return None


def states(node):
    return sorted(s.value_nick for s in node.getState().getStates())


def line(node):
    text = ""
    if node.getRoleName() in ("label", "entry"):
        t = node.queryText()
        text = ' text="%s"' % t.getText(0, -1)
    actions = ""
    try:
        a = node.queryAction()
        actions = " actions=" + ",".join(a.getName(i) for i in range(a.nActions))
    except NotImplementedError:
        pass
    return '%s "%s" [%s]%s%s' % (node.getRoleName(), node.name, " ".join(states(node)), actions, text)


def dump(node, depth=0, out=None):
    out = [] if out is None else out
    out.append("  " * depth + line(node))
    for child in node:
        if child is not None:
            dump(child, depth + 1, out)
    return out


def find(node, role, name=None):
    return pyatspi.findDescendant(
        node, lambda n: n.getRoleName() == role and (name is None or n.name == name))


def program():
    for application in pyatspi.Registry.getDesktop(0):
        if application is None:
            continue
        for window in application:
            if window is not None and window.name == "Tolvar for PlayStation2":
                return application
    return None


def press(node):
    action = node.queryAction()
    for i in range(action.nActions):
        if action.getName(i) == "press":
            return action.doAction(i)
    return False


# Asking for the accessibility bus's address starts it, as a desktop does.
subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus", "/org/a11y/bus",
                "org.a11y.Bus.GetAddress"], check=True, stdout=subprocess.DEVNULL)
# ...and the registry, before the program looks for them.
pyatspi.Registry.getDesktop(0).childCount
app = subprocess.Popen([app_path, "--settings", settings], stdout=subprocess.DEVNULL)
try:
    application = eventually(program)
    if not check(application is not None, "the program is not in the accessibility tree"):
        sys.exit(1)
    frame = application[0]
    check(frame.getRoleName() == "frame", "the main window is not a frame")
    eventually(lambda: "active" in states(frame), 5)
    print("\n".join(dump(application)), flush=True)
    for name in ("Web Site", "Code List", "Exit", "Sleep"):
        button = find(frame, "push button", name)
        if check(button is not None, "no push button " + name):
            check("press" in line(button), name + " has no press action")
            check("showing" in states(button) and "enabled" in states(button),
                  name + " is not shown and enabled")

    # The trees: their items with names and states; opening the online root
    # through its action reads the online folders.
    local = find(frame, "tree", "Local Tree")
    online = find(frame, "tree", "Online Tree")
    check(local is not None and online is not None, "the trees are not there")
    check(local is not None and local.childCount > 0 and local[0].name == "PC Databases" and
          "expanded" in states(local[0]), "the Local Tree's root is not read")
    root = online[0] if online is not None and online.childCount > 0 else None
    check(root is not None and root.name == "Online Database" and
          "expandable" in states(root) and "expanded" not in states(root),
          "the Online Tree's closed root is not read")
    focus_events = []
    pyatspi.Registry.registerEventListener(
        lambda e: focus_events.append(e.source.name) if e.detail1 else None,
        "object:state-changed:focused")
    if root is not None:
        action = root.queryAction()
        action.doAction([action.getName(i) for i in range(action.nActions)].index("expand or contract"))
        check(eventually(lambda: root.childCount > 0 and "expanded" in states(root), 10),
              "opening Online Database through its action read nothing")
        # The keyboard in the tree: the selected item has the focus, and
        # moving down moves both, telling the reader.
        root.queryAction().doAction(0)
        online.queryComponent().grabFocus()
        check(eventually(lambda: "focused" in states(root) and "selected" in states(root), 5),
              "the selected item of the focused tree is not focused")
        subprocess.run(["xdotool", "key", "Down"], check=True)
        first = root[0]
        check(eventually(lambda: "focused" in states(first) and "selected" in states(first) and
                         "selected" not in states(root), 5), "Down did not move the focus")
        check(first.queryComponent().getExtents(pyatspi.DESKTOP_COORDS).width > 0,
              "the tree's items have no place on the screen")
        check(eventually(lambda: first.name in focus_events, 5),
              "no focus event for " + first.name + ": " + str(focus_events))
        print("\n".join(dump(online)), flush=True)

    # A double click on the logo opens the version box: an alert whose text
    # and button are read.
    x, y = frame.queryComponent().getPosition(pyatspi.DESKTOP_COORDS)
    subprocess.run(["xdotool", "mousemove", str(x + 350), str(y + 60), "click", "--repeat", "2",
                    "--delay", "80", "1"], check=True)
    alert = eventually(lambda: find(application, "alert"), 10)
    if check(alert is not None, "no alert for the version box"):
        print("\n".join(dump(alert)), flush=True)
        label = find(alert, "label")
        check(label is not None and label.queryText().getText(0, -1) ==
              "Tolvar for PC Version 1.1US", "the alert's text is not read")
        ok = find(alert, "push button", "OK")
        if check(ok is not None and "focused" in states(ok), "the alert's OK is not focused"):
            press(ok)
            check(eventually(lambda: find(application, "alert") is None, 10) is not None or
                  find(application, "alert") is None, "OK did not close the alert")

    # The About box, from the system menu, with its lines and its OK.
    subprocess.run(["xdotool", "mousemove", str(x + 350), str(y + 300)], check=True)
    subprocess.run(["xdotool", "key", "alt+space"], check=True)
    time.sleep(0.3)
    subprocess.run(["xdotool", "key", "a"], check=True)
    about = eventually(lambda: find(application, "dialog", "About ZyferV3"), 10)
    if check(about is not None, "no About box"):
        print("\n".join(dump(about)), flush=True)
        check(find(about, "label") is not None, "the About box has no text")
        ok = find(about, "push button", "OK")
        if check(ok is not None, "the About box has no OK"):
            press(ok)
            check(eventually(lambda: find(application, "dialog", "About ZyferV3") is None, 10) or
                  find(application, "dialog", "About ZyferV3") is None, "OK left the About box")

    exit_button = find(frame, "push button", "Exit")
    if exit_button is not None:
        press(exit_button)
    try:
        code = app.wait(10)
        check(code == 0, "the program ended with %d" % code)
    except subprocess.TimeoutExpired:
        check(False, "Exit pressed through its action did not end the program")
finally:
    if app.poll() is None:
        app.kill()
        app.wait()
sys.exit(1 if failures else 0)
