#!/usr/bin/python3
"""The real window on an X server of its own, at 1024 x 768 and 1600 x 1000,
with no window manager and with one (openbox, when installed):

- the panel has the keyboard at start: Alt+V opens "Veicolo" with no click,
  and again after a dialog ("Rete...") is closed with Esc;
- "Mappa", "Flotta" and "Cielo" (Alt+V then M, F, C) open beside the panel,
  never over it, each inside the screen;
- a dialog larger than the panel ("Rete...") opens inside the screen, not
  in its corner over the panel's menus;
- the question of a first start opens beside the panel, where a window
  manager has put the panel;
- every dialog of the menus (and the help, F1) opens by its keys inside the
  screen, the help beside the panel, and Esc closes it.

    placement_xvfb.py PATH/TO/vadrel [KEEP_FOLDER]

With KEEP_FOLDER a picture of the screen at each size is left there, to be
looked at. Every wait is bounded; nothing waits a fixed time."""

import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

CAPTION = "Quorvel vadrel - Simulatore GPS"
# columns: the tool, the key after Alt+V, a part of its caption
TOOLS = [("Mappa", "m", "- Mappa"), ("Flotta", "f", "Flotta"), ("Cielo", "c", "Cielo")]
# columns: the dialog, the keys that open it, the start of its caption, whether
# it must leave the panel uncovered (a window of its own, not a question)
DIALOGS = [
    ("Vai a posizione", ["alt+v", "v"], "Vai a posizione", False),
    ("Percorso", ["alt+v", "p"], "Percorso", False),
    ("Quota", ["alt+o", "q"], "Quota", False),
    ("Cielo e ricevitore", ["alt+o", "i"], "Cielo e ricevitore", False),
    ("Guasti", ["alt+o", "g"], "Guasti", False),
    ("Strumenti di bordo", ["alt+o", "t"], "Strumenti di bordo", False),
    ("Porta", ["alt+u", "p"], "Porta", False),
    ("Controllo", ["alt+u", "c"], "Interfaccia di controllo", False),
    ("Registra", ["alt+r", "r"], "Registra in", False),
    ("Riproduci", ["alt+r", "p"], "Riproduci", False),
    ("Esporta tracce GPX", ["alt+r", "e"], "Esporta tracce GPX", False),
    ("Apri scenario", ["alt+f", "a"], "Apri scenario", False),
    ("Guida", ["F1"], "vadrel - Guida", True),
]


def fail(why):
    print("FALLITO: " + why, file=sys.stderr)
    sys.exit(1)


def wait_for(check, seconds=10.0):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        got = check()
        if got:
            return got
        time.sleep(0.05)
    return None


def until(what, check, seconds=10.0):
    got = wait_for(check, seconds)
    if not got:
        fail(what + ": non accade entro %.0f secondi" % seconds)
    return got


def tree():
    return subprocess.run(["xwininfo", "-root", "-tree"], capture_output=True, text=True).stdout


def window_starting(prefix):
    match = re.search(r"^\s*(0x[0-9a-f]+) \"%s[^\"]*\":" % re.escape(prefix), tree(), re.M)
    return match.group(1) if match else None


def window_holding(part):
    match = re.search(r"^\s*(0x[0-9a-f]+) \"[^\"]*%s[^\"]*\":" % re.escape(part), tree(), re.M)
    return match.group(1) if match else None


def geometry(window):
    """The window's rectangle on the screen (x, y, width, height), when shown."""
    info = subprocess.run(["xwininfo", "-id", window], capture_output=True, text=True).stdout
    if "IsViewable" not in info:
        return None
    number = lambda name: int(re.search(name + r":\s+(-?\d+)", info).group(1))
    return (number("Absolute upper-left X"), number("Absolute upper-left Y"), number("Width"), number("Height"))


def overlap(a, b):
    return a[0] < b[0] + b[2] and b[0] < a[0] + a[2] and a[1] < b[1] + b[3] and b[1] < a[1] + a[3]


def popups():
    """The override-redirect windows shown now (menus)."""
    ids = re.findall(r"^\s+(0x[0-9a-f]+) ", subprocess.run(
        ["xwininfo", "-root", "-children"], capture_output=True, text=True).stdout, re.M)
    shown = set()
    for w in ids:
        attrs = subprocess.run(["xwininfo", "-id", w], capture_output=True, text=True).stdout
        if "IsViewable" in attrs and "Override Redirect State: yes" in attrs:
            shown.add(w)
    return shown


def key(*keys):
    subprocess.run(["xdotool", "key", "--clearmodifiers", *keys], check=True)


def give_back(panel, manager):
    subprocess.run(["xdotool", "windowactivate", "--sync", panel], capture_output=True) if manager else \
        subprocess.run(["xdotool", "windowfocus", "--sync", panel], check=True)


def check_dialogs(label, panel, manager, width, height, keep):
    """Each dialog of the table opened by its keys, inside the screen, closed by Esc."""
    for name, keys, caption, beside in DIALOGS:
        for k in keys:
            key(k)
        def shown():
            window = window_starting(caption)
            return window and geometry(window)

        placed = until("%s: %s si apre con %s" % (label, name, "+".join(keys)), shown)
        # a window manager may still be placing it: the place it settles on
        time.sleep(0.3)
        placed, at = shown() or placed, geometry(panel)
        if placed[0] < 0 or placed[1] < 0 or placed[0] + placed[2] > width or placed[1] + placed[3] > height:
            fail("%s: %s %s esce dallo schermo" % (label, name, placed))
        if beside and overlap(placed, at):
            fail("%s: %s %s copre il pannello %s" % (label, name, placed, at))
        if keep:
            picture = os.path.join(keep, "dialogs-%s-%dx%d-%s.png" % (
                name.replace(" ", "_"), width, height, manager or "nowm"))
            subprocess.run(["import", "-window", "root", picture], check=True)
        key("Escape")
        until("%s: Esc chiude %s" % (label, name), lambda: not shown())
        give_back(panel, manager)
        print("ok: %s: %s a %s, chiuso con Esc" % (label, name, placed))


def run(binary, width, height, manager, scratch, keep):
    label = "%dx%d %s" % (width, height, manager or "senza gestore")
    read_end, write_end = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-noreset", "-screen", "0",
                             "%dx%dx24" % (width, height), "-dpi", "96", "-nolisten", "tcp"],
                            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    processes = [xvfb]
    try:
        with os.fdopen(read_end) as said:
            display = said.readline().strip()
        if not display:
            fail("Xvfb non è partito")
        os.environ["DISPLAY"] = ":" + display
        until("Xvfb accetta connessioni", lambda: subprocess.run(
            ["xwininfo", "-root"], capture_output=True).returncode == 0)
        if manager:
            processes.append(subprocess.Popen([manager], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
            until("il gestore delle finestre parte", lambda: "_NET_SUPPORTING_WM_CHECK" in subprocess.run(
                ["xprop", "-root"], capture_output=True, text=True).stdout)
        folder = os.path.join(scratch, label.replace(" ", "_"))
        os.mkdir(folder)
        vadrel = subprocess.Popen([binary, "--cartella", folder, "--com", "2=pty"],
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        processes.append(vadrel)
        panel = until(label + ": la finestra compare", lambda: window_starting(CAPTION))
        until(label + ": la finestra si vede", lambda: geometry(panel))
        # The first start's question: beside the panel where it stands (a
        # window manager moves the panel after it is shown), inside the screen.
        question = until(label + ": la domanda del primo avvio compare", lambda: window_starting("vadrel - Primo avvio"))
        asked = until(label + ": la domanda si vede", lambda: geometry(question))

        def settled():
            # A window manager may still be placing the panel and the
            # question (the question follows the panel): the place they
            # settle on, within a few seconds on a loaded machine.
            nonlocal asked, at
            asked, at = geometry(question), geometry(panel)
            return asked and at and not overlap(asked, at) and asked[0] >= 0 and asked[1] >= 0 and \
                asked[0] + asked[2] <= width and asked[1] + asked[3] <= height

        at = None
        if not wait_for(settled, 5.0):
            fail("%s: la domanda %s copre il pannello %s o esce dallo schermo" % (label, asked, at))
        print("ok: %s: la domanda del primo avvio a %s, accanto al pannello %s" % (label, asked, at))
        # No click: the keyboard is the panel's from the start. (A window
        # manager may show windows of its own that no client manages.)
        others = popups()
        menus = lambda: popups() - others
        key("alt+v")
        menu = wait_for(menus, 5.0)
        if not menu:
            fail(label + ": Alt+V non apre il menu Veicolo senza un clic sulla finestra")
        key("Escape")
        until(label + ": il menu si chiude", lambda: not menus())
        print("ok: %s: Alt+V apre Veicolo senza clic" % label)
        # A dialog closed with Esc gives the keyboard back to the panel.
        key("alt+u")
        until(label + ": il menu Uscite si apre", menus)
        key("r")
        dialog = until(label + ": Rete si apre", lambda: window_starting("Rete") and geometry(window_starting("Rete")))
        # larger than the panel: centred on the screen, not in its corner over the panel's menus
        if not manager and (dialog[0] <= 0 or dialog[1] <= 0 or dialog[0] + dialog[2] > width or
                            dialog[1] + dialog[3] > height):
            fail("%s: Rete a %s, nell'angolo sopra il pannello o fuori dallo schermo" % (label, dialog))
        if dialog[0] < 0 or dialog[1] < 0 or dialog[0] + dialog[2] > width or dialog[1] + dialog[3] > height:
            fail("%s: Rete a %s esce dallo schermo" % (label, dialog))
        print("ok: %s: Rete a %s" % (label, dialog))
        key("Escape")
        until(label + ": Rete si chiude", lambda: not window_starting("Rete") or not geometry(window_starting("Rete")))
        key("alt+v")
        if not wait_for(menus, 5.0):
            fail(label + ": chiuso Rete, Alt+V non apre Veicolo senza un clic")
        key("Escape")
        until(label + ": il menu si chiude", lambda: not menus())
        print("ok: %s: chiuso un dialogo, la tastiera torna al pannello" % label)
        for name, letter, caption in TOOLS:
            key("alt+v")
            until(label + ": il menu Veicolo si apre", menus)
            key(letter)
            tool = until("%s: %s compare" % (label, name), lambda: window_holding(caption))
            placed = until("%s: %s si vede" % (label, name), lambda: geometry(tool))
            # a window manager may still be placing it: the place it settles on
            time.sleep(0.3)
            placed = geometry(tool)
            at = geometry(panel)
            if overlap(placed, at):
                fail("%s: %s %s copre il pannello %s" % (label, name, placed, at))
            if placed[0] < 0 or placed[1] < 0 or placed[0] + placed[2] > width or placed[1] + placed[3] > height:
                fail("%s: %s %s esce dallo schermo" % (label, name, placed))
            print("ok: %s: %s a %s, accanto al pannello %s" % (label, name, placed, at))
            if keep:
                picture = os.path.join(keep, "%s_%s.png" % (label.replace(" ", "_"), name))
                subprocess.run(["import", "-window", "root", picture], check=True)
            give_back(panel, manager)
        check_dialogs(label, panel, manager, width, height, keep)
    finally:
        for p in reversed(processes):
            p.send_signal(signal.SIGTERM)
            try:
                p.wait(10)
            except subprocess.TimeoutExpired:
                p.kill()
                p.wait()


def main():
    binary = os.path.abspath(sys.argv[1])
    keep = sys.argv[2] if len(sys.argv) > 2 else None
    managers = [None] + (["openbox"] if shutil.which("openbox") else [])
    if len(managers) == 1:
        print("nota: nessun gestore delle finestre (openbox) installato, provato solo senza")
    with tempfile.TemporaryDirectory() as scratch:
        # A window manager centres the panel: on 1024 x 768 the tools then
        # take the narrower room beside it.
        for manager, width, height in [(None, 1024, 768), (None, 1600, 1000)] + [
                (m, w, h) for m in managers if m for w, h in [(1024, 768), (1600, 1000)]]:
            run(binary, width, height, manager, scratch, keep)


if __name__ == "__main__":
    main()
