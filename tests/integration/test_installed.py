#!/usr/bin/python3
"""vadrel installed as a user gets it: `cmake --install` into a fresh prefix,
then run from another folder. An installed program keeps its table in the
user's data folder and says so; so does a build folder the user may not
write in. When run as root, the same again as an ordinary user account.
The installed man page documents every option of --help."""

import atexit
import gzip
import os
import pwd
import re
import shutil
import subprocess
import sys
import tempfile

USER = "nobody"


def scratch(owner=None):
    folder = tempfile.mkdtemp(prefix="vadrel-installed-")
    atexit.register(shutil.rmtree, folder, True)
    os.chmod(folder, 0o755)
    if owner:
        os.chown(folder, owner.pw_uid, owner.pw_gid)
    return folder


def check_run(name, binary, account):
    """Runs vadrel as `account` (None: this user) with a home of its own and
    checks where the table went."""
    home = scratch(account)
    here = scratch(account)
    command = ["env", "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", "-u", "QT_QPA_PLATFORM",
               "-u", "XDG_DATA_HOME", "HOME=" + home,
               binary, "--senza-finestra", "--com", "2=pty", "--durata", "1.5"]
    if account:
        command = ["runuser", "-u", account.pw_name, "--"] + command
    done = subprocess.run(command, cwd=here, capture_output=True, text=True, timeout=60)
    table = os.path.join(home, ".local", "share", "vadrel", "vadrel.cnf")
    assert done.returncode == 0, (name, done)
    assert "tabella dei veicoli: " + table in done.stderr, (name, done.stderr)
    with open(table, "rb") as f:
        assert f.read().count(b"\r\n") == 22, name
    if account:
        assert os.stat(table).st_uid == account.pw_uid, name
    assert os.listdir(here) == [], (name, os.listdir(here))
    assert not os.path.exists(os.path.join(os.path.dirname(binary), "vadrel.cnf")), name


def main():
    cmake, build_dir, build_binary, version = sys.argv[1:5]
    prefix = scratch()
    subprocess.run([cmake, "--install", build_dir, "--prefix", prefix],
                   check=True, capture_output=True, timeout=120)
    installed = os.path.join(prefix, "bin", "vadrel")

    rows = [("installed, this user", installed, None)]
    if os.geteuid() == 0:
        account = pwd.getpwnam(USER)
        rows += [("installed, an ordinary user", installed, account),
                 ("a build folder the user may not write in", build_binary, account)]
    for name, binary, account in rows:
        check_run(name, binary, account)

    # The version is the project's.
    shown = subprocess.run([installed, "--version"], capture_output=True, text=True, check=True)
    assert shown.stdout == "vadrel %s\n" % version, shown.stdout

    # Every option of --help is in the installed man page.
    help_text = subprocess.run([installed, "--help"], capture_output=True, text=True,
                               check=True).stdout
    options = sorted(set(re.findall(r"--[a-z][a-z-]*", help_text)))
    with gzip.open(os.path.join(prefix, "share", "man", "man1", "vadrel.1.gz"), "rt") as f:
        page = f.read()
    missing = [o for o in options if o.replace("-", "\\-") not in page]
    assert options and not missing, missing
    print("%d passed, 0 failed" % (len(rows) + 2))


if __name__ == "__main__":
    main()
