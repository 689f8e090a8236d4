#!/usr/bin/python3
"""vadrel installed as a user gets it: `cmake --install` into a fresh prefix,
then run from another folder. An installed program keeps its table in the
user's data folder and says so. The installed man page documents every
option of --help, and the manual lies beside the package's documents. (The
same as an ordinary account, and a build folder the user may not write in:
test_accounts.py.)"""

import atexit
import gzip
import os
import pathlib
import re
import shutil
import subprocess
import sys

from vadrel_run import readable_folder

def scratch(owner=None):
    """A folder every account can reach (under /tmp, not the checkout), given
    to `owner` when there is one."""
    folder = readable_folder()
    atexit.register(shutil.rmtree, folder, True)
    if owner:
        os.chown(folder, owner.pw_uid, owner.pw_gid)
    return folder


def install(cmake, build_dir):
    """cmake --install into a fresh prefix every account can read; the
    installed vadrel. DESTDIR keeps inside it what goes to an absolute folder
    (the service's unit, in a build for /usr), which would otherwise land in
    this machine's own /lib/systemd/system."""
    root = scratch()
    env = dict(os.environ, DESTDIR=root)
    subprocess.run([cmake, "--install", build_dir, "--prefix", "/vadrel"],
                   check=True, capture_output=True, timeout=120, env=env)
    return os.path.join(root, "vadrel", "bin", "vadrel")


def check_run(name, binary, account):
    """Runs vadrel as `account` (None: this user) with a home of its own,
    started in a folder of its own, and checks where the table went."""
    home = scratch(account)
    here = scratch(account)
    command = [binary, "--senza-finestra", "--com", "2=pty", "--durata", "1.5"]
    env = {k: v for k, v in os.environ.items()
           if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_DATA_HOME")}
    env["HOME"] = home
    popen = {"user": account.pw_uid, "group": account.pw_gid, "extra_groups": []} if account else {}
    done = subprocess.run(command, cwd=here, env=env, capture_output=True, text=True, timeout=60, **popen)
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
    cmake, build_dir, version = sys.argv[1:4]
    installed = install(cmake, build_dir)
    check_run("installed, this user", installed, None)

    # Everything went into the scratch tree, the service's unit too (to an
    # absolute folder in a build for /usr, under the prefix otherwise).
    root = os.path.dirname(os.path.dirname(os.path.dirname(installed)))
    units = [os.path.join(folder, name) for folder, _, names in os.walk(root) for name in names
             if name == "vadrel.service"]
    assert len(units) == 1, units

    # The version is the project's.
    shown = subprocess.run([installed, "--version"], capture_output=True, text=True, check=True)
    assert shown.stdout == "vadrel %s\n" % version, shown.stdout

    # The man page is installed where man finds it (its text is checked
    # against the options in the unit tests).
    with gzip.open(os.path.join(os.path.dirname(installed), "..", "share", "man", "man1", "vadrel.1.gz"), "rt") as f:
        assert "\n.TH VADREL 1 " in f.read()

    # The manual is installed beside the package's documents, laid out as in
    # the checkout: each page as written, and each picture a page shows.
    source = pathlib.Path(__file__).resolve().parents[2]
    doc = pathlib.Path(installed).parent.parent / "share" / "doc" / "vadrel"
    pages = [source / "README.md"] + sorted((source / "docs").glob("*.md"))
    for page in pages:
        copy = doc / (str(page.relative_to(source)) + ".gz")
        with gzip.open(copy, "rt", encoding="utf-8") as f:
            assert f.read() == page.read_text(encoding="utf-8"), copy
        for picture in re.findall(r"!\[[^\]]*\]\(([^)\s]+)\)", page.read_text(encoding="utf-8")):
            assert (copy.parent / picture).is_file(), (copy, picture)
    # The control interface's description, plain, where its 404 says it
    # is; and the Python client, a module the system's python3 imports from
    # the installed tree as it would from /usr/lib/python3/dist-packages.
    prefix = pathlib.Path(installed).parent.parent
    description = prefix / "share" / "vadrel" / "openapi.yaml"
    assert description.read_bytes() == (source / "docs" / "openapi.yaml").read_bytes(), description
    client = prefix / "lib" / "python3" / "dist-packages" / "vadrel_client.py"
    assert client.read_bytes() == (source / "python" / "vadrel_client.py").read_bytes(), client
    imported = subprocess.run(["/usr/bin/python3", "-I", "-c",
                               "import sys; sys.path.insert(0, %r); import vadrel_client; "
                               "print(vadrel_client.__file__, vadrel_client.Vadrel.index.__doc__)" % str(client.parent)],
                              capture_output=True, text=True, timeout=30, cwd="/")
    assert imported.returncode == 0 and imported.stdout.startswith(str(client)), imported
    with gzip.open(prefix / "share" / "man" / "man1" / "vadrel.1.gz", "rt") as f:
        page = f.read()
    assert "/usr/share/vadrel/openapi.yaml" in page and "dist\\-packages/vadrel_client.py" in page
    print("7 passed, 0 failed")


if __name__ == "__main__":
    main()
