#!/usr/bin/python3
"""vadrel and its clients run by other accounts, as a service or another user
runs them. Each case prepares what that account needs where it can reach it
(a copy of the executables, an installed tree, folders of its own under
/tmp) and starts it there, so nothing depends on where the checkout lies or
on its parents' modes (a clone in /root, mode 0700). A case that cannot run
here (not root, no such account) ends with 77, which ctest reports as
skipped. Usage: test_accounts.py CASE VADREL [CMAKE BUILD_DIR]"""

import grp
import os
import subprocess
import sys
import time

from test_installed import check_run, install
from vadrel_run import Vadrel, account_or_skip, gpsd_reports, readable_copy, readable_folder


def outside_dialout(binary):
    """A user outside the group dialout cannot give it the virtual ports: said once."""
    account = account_or_skip("nobody")
    theirs = readable_folder()
    os.chmod(theirs, 0o777)
    done = subprocess.run([readable_copy(binary), "--senza-finestra", "--cartella", theirs,
                           "--com", "1=pty", "--durata", "0.5"],
                          cwd=theirs, capture_output=True, text=True, errors="replace", timeout=30,
                          user=account.pw_uid, group=account.pw_gid, extra_groups=[])
    assert done.stderr.count("non può passare al gruppo dialout") == 1, done.stderr
    assert done.returncode == 0, done


def gpsd_service(binary):
    """gpsd run as its own user in the group dialout, as its service runs it,
    opens vadrel's virtual port and reports the start-up position."""
    account_or_skip("gpsd")
    vadrel = Vadrel(binary)
    try:
        device = os.stat(vadrel.device)
        assert grp.getgrgid(device.st_gid).gr_name == "dialout" and device.st_mode & 0o777 == 0o660, device
        reports = gpsd_reports(vadrel.device, 1, time.monotonic() + 30,
                               user="gpsd", group="dialout", extra_groups=[])
    finally:
        code = vadrel.stop()
    assert reports, "gpsd as its own user reported no position"
    assert abs(reports[0]["lat"] - (44 + 2 / 60)) < 1e-5 and abs(reports[0]["lon"] - (10 + 8 / 60)) < 1e-5, reports
    assert code == 0, code


def ordinary_user(binary, cmake, build_dir):
    """An installed vadrel, and a build folder the user may not write in, run
    by an ordinary account: the table goes to that user's data folder."""
    account = account_or_skip("nobody")
    check_run("installed, an ordinary user", install(cmake, build_dir), account)
    check_run("a build folder the user may not write in", readable_copy(binary), account)


def main():
    case, binary = sys.argv[1:3]
    cases = {"dialout": lambda: outside_dialout(binary),
             "gpsd": lambda: gpsd_service(binary),
             "installed": lambda: ordinary_user(binary, *sys.argv[3:5])}
    cases[case]()
    print("1 passed, 0 failed")


if __name__ == "__main__":
    main()
