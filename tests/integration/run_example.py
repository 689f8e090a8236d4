#!/usr/bin/python3
"""Runs an example test of examples/ as a team would, against this build's
vadrel: skipped (exit code 77) where gpsd is not installed.

    run_example.py examples/test_ci_gpsd.py build/src/app/vadrel"""

import os
import shutil
import subprocess
import sys

SKIPPED = 77

example, binary = sys.argv[1], os.path.abspath(sys.argv[2])
gpsd = shutil.which("gpsd") or ("/usr/sbin/gpsd" if os.path.exists("/usr/sbin/gpsd") else None)
if gpsd is None:
    print("SKIPPED: gpsd is not installed")
    sys.exit(SKIPPED)
env = dict(os.environ, VADREL=binary, GPSD=gpsd)
sys.exit(subprocess.run([sys.executable, "-m", "unittest", "-v", os.path.basename(example)[:-3]],
                        cwd=os.path.dirname(os.path.abspath(example)), env=env).returncode)
