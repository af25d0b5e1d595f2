#!/usr/bin/python3
"""Finds an item of the program's open pop-up menu by its text, through the desktop's
accessibility bus (AT-SPI), as a screen reader would; tests/e2e/lib.sh then clicks it.

    a11y.py menu-item TEXT    prints "X Y", the item's centre on the screen
    a11y.py button NAME [WINDOW]
                              the same for a button of the program's windows (the notes' tool
                              bars and title bars draw theirs themselves, each still a button
                              of its own here), of the window titled WINDOW when given; fails
                              when none is shown under that name
    a11y.py boxes ROLE NAME [PID]
                              prints "X Y W H STATES", one a line, of every shown control
                              of the program (of process PID when given) whose role is ROLE
                              ("push button", "list item", "image", ...) and whose name is
                              NAME or begins with NAME and a blank (the lines of a list carry
                              more columns after their title); STATES are its states joined
                              by commas ("active,enabled,checked,..."); fails when there is
                              none
    a11y.py list-items NAME   prints the names of the items of the list NAME that is shown, one
                              a line; fails when no such list is shown
    a11y.py selection         prints the text selected in the text control that has the
                              keyboard focus; fails when none has it

A pop-up menu is no child of its application in the accessibility tree; it makes itself known
when one of its items takes the focus. So this presses Down once (the menu has the keyboard
while it is open), takes the menu from the item that announces itself, and reads the places
of all its items. Fails (status 1, a line on stderr) when no menu answers within five seconds,
or no item has the text, or that item is disabled.
"""

import subprocess
import sys

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402

WAIT_MS = 5000


def menu_items(menu):
    for i in range(menu.get_child_count()):
        child = menu.get_child_at_index(i)
        if child is not None and child.get_role() == Atspi.Role.MENU_ITEM:
            yield child


def menu_item(text):
    loop = GLib.MainLoop()
    found = {}

    def on_focus(event):
        source = event.source
        if found or event.detail1 != 1 or source is None or source.get_role() != Atspi.Role.MENU_ITEM:
            return
        menu = source.get_parent()
        if menu is None:
            return
        found["menu"] = menu
        loop.quit()

    listener = Atspi.EventListener.new(on_focus)
    listener.register("object:state-changed:focused")
    GLib.timeout_add(100, lambda: subprocess.run(["xdotool", "key", "Down"], check=False) and False)
    GLib.timeout_add(WAIT_MS, loop.quit)
    loop.run()
    listener.deregister("object:state-changed:focused")

    if "menu" not in found:
        sys.exit("a11y.py: no menu item took the focus (is a menu open, and the program "
                 "started with QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1?)")
    items = list(menu_items(found["menu"]))
    names = [item.get_name() for item in items]
    for item, name in zip(items, names):
        if name != text:
            continue
        if not item.get_state_set().contains(Atspi.StateType.ENABLED):
            sys.exit(f"a11y.py: the menu item '{text}' is disabled")
        box = item.get_extents(Atspi.CoordType.SCREEN)
        print(box.x + box.width // 2, box.y + box.height // 2)
        return
    sys.exit(f"a11y.py: no menu item '{text}'; the menu has: {names}")


def button(name, window=None):
    found = []

    def walk(node, depth):
        if node is None or depth > 12:
            return
        if node.get_role() == Atspi.Role.PUSH_BUTTON and node.get_name() == name:
            if node.get_state_set().contains(Atspi.StateType.SHOWING):
                found.append(node)
        for i in range(node.get_child_count()):
            walk(node.get_child_at_index(i), depth + 1)

    desktop = Atspi.get_desktop(0)
    for i in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(i)
        if app is None or app.get_name() != "Orbindo Stikko":
            continue
        for j in range(app.get_child_count()):
            frame = app.get_child_at_index(j)
            if frame is not None and (window is None or frame.get_name() == window):
                walk(frame, 1)
    if not found:
        where = f" in the window '{window}'" if window is not None else ""
        sys.exit(f"a11y.py: no button '{name}' is shown{where}")
    box = found[0].get_extents(Atspi.CoordType.SCREEN)
    print(box.x + box.width // 2, box.y + box.height // 2)


def program_nodes(keep, pid=None, depth_limit=14):
    """The nodes of the program's accessibility tree (of process PID when given) for which
    keep(node) is true."""
    found = []

    def walk(node, depth):
        if node is None or depth > depth_limit:
            return
        if keep(node):
            found.append(node)
        for i in range(node.get_child_count()):
            walk(node.get_child_at_index(i), depth + 1)

    desktop = Atspi.get_desktop(0)
    for i in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(i)
        if app is None or app.get_name() != "Orbindo Stikko":
            continue
        if pid is None or app.get_process_id() == int(pid):
            walk(app, 0)
    return found


def boxes(role, name, pid=None):
    def named(node):
        text = node.get_name() or ""
        return text == name or (text.startswith(name) and text[len(name)].isspace())

    found = program_nodes(lambda node: node.get_role_name() == role and named(node)
                          and node.get_state_set().contains(Atspi.StateType.SHOWING), pid)
    if not found:
        sys.exit(f"a11y.py: no {role} '{name}' is shown")
    for node in found:
        box = node.get_extents(Atspi.CoordType.SCREEN)
        states = ",".join(s.value_nick for s in node.get_state_set().get_states())
        print(box.x, box.y, box.width, box.height, states or "-")


def list_items(name):
    def shown_list(node):
        return (node.get_role() in (Atspi.Role.LIST, Atspi.Role.LIST_BOX, Atspi.Role.TABLE)
                and node.get_name() == name
                and node.get_state_set().contains(Atspi.StateType.SHOWING))

    lists = program_nodes(shown_list)
    if not lists:
        sys.exit(f"a11y.py: no list '{name}' is shown")
    box = lists[0]
    for i in range(box.get_child_count()):
        item = box.get_child_at_index(i)
        if item is not None and item.get_role() in (Atspi.Role.LIST_ITEM, Atspi.Role.TABLE_CELL):
            print(item.get_name())


def selection():
    def focused_text(node):
        return (node.get_state_set().contains(Atspi.StateType.FOCUSED)
                and node.get_text_iface() is not None)

    texts = program_nodes(focused_text)
    if not texts:
        sys.exit("a11y.py: no text control has the keyboard focus")
    text = texts[0]
    if Atspi.Text.get_n_selections(text) < 1:
        sys.exit("a11y.py: nothing is selected in the text that has the focus")
    chosen = Atspi.Text.get_selection(text, 0)
    print(Atspi.Text.get_text(text, chosen.start_offset, chosen.end_offset))


def main():
    if len(sys.argv) == 3 and sys.argv[1] == "menu-item":
        menu_item(sys.argv[2])
    elif len(sys.argv) in (3, 4) and sys.argv[1] == "button":
        button(sys.argv[2], sys.argv[3] if len(sys.argv) == 4 else None)
    elif len(sys.argv) in (4, 5) and sys.argv[1] == "boxes":
        boxes(*sys.argv[2:])
    elif len(sys.argv) == 3 and sys.argv[1] == "list-items":
        list_items(sys.argv[2])
    elif len(sys.argv) == 2 and sys.argv[1] == "selection":
        selection()
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
