#!/usr/bin/python3
"""Reads radio-mode bursts from vadrel's virtual port and checks the framing
byte for byte."""

import os
import select
import sys
import termios
import time
import tty

from vadrel_run import Vadrel

SEP = b"\r\n\x00\x00\x00\x00\x00"
FIXED_BEFORE = [
    b"$GPGSV,2,1,08,04,47,228,46,14,05,121,,16,16,303,39,18,57,057,46*7C",
    b"$GPGSV,2,2,08,19,64,163,46,22,09,040,41,27,39,196,44,29,33,067,46*7C",
    b"$PGRME,297.9,M,300.0,M,297.9,M*2D",
]
FIXED_AFTER = [
    b"$GPVTG,327.9,T,327.4,M,03.0,N,05.5,K*40",
    b"$GPGGA,201528,4400.6787,N,01007.7087,E,1,03,6.3,254.5,M,47.9,M,,*44",
    b"$GPGSA,A,3,,,,18,,,27,29,,,,,6.3,6.3,1.0*34",
]


def checksum_ok(sentence):
    body, star, given = sentence[1:].partition(b"*")
    value = 0
    for byte in body:
        value ^= byte
    return star == b"*" and given == b"%02X" % value


def read_bursts(fd, count, deadline):
    data = b""
    burst_start = SEP + FIXED_BEFORE[0]
    while time.monotonic() < deadline:
        ready, _, _ = select.select([fd], [], [], 0.5)
        if ready:
            data += os.read(fd, 4096)
        start = data.find(burst_start)
        if start >= 0:
            bursts = data[start:].split(burst_start)[1:]
            complete = [burst_start + b for b in bursts if b.endswith(SEP)][:count]
            if len(complete) == count:
                return complete
    raise AssertionError("no complete bursts in %r" % data[:200])


def main():
    binary = sys.argv[1]
    vadrel = Vadrel(binary, "--modo", "radio", "--baud", "9600")
    fd = os.open(vadrel.device, os.O_RDWR | os.O_NOCTTY)
    try:
        tty.setraw(fd)
        termios.tcflush(fd, termios.TCIFLUSH)
        bursts = read_bursts(fd, 2, time.monotonic() + 20)
    finally:
        os.close(fd)
        code = vadrel.stop()
    for burst in bursts:
        assert burst.startswith(b"\r\n\x00\x00\x00\x00\x00$GPGSV"), burst[:20]
        assert burst.endswith(SEP)
        parts = burst.split(SEP)
        assert parts[0] == b"" and parts[-1] == b"", parts
        sentences = parts[1:-1]
        assert len(sentences) == 7, sentences
        assert sentences[:3] == FIXED_BEFORE, sentences[:3]
        assert sentences[4:] == FIXED_AFTER, sentences[4:]
        rmc = sentences[3]
        assert rmc.startswith(b"$GPRMC,") and checksum_ok(rmc), rmc
        assert b",4402.0000,N,01008.0000,E,0.0,000.0," in rmc, rmc
        fixed = sum(len(s) for s in FIXED_BEFORE + FIXED_AFTER) + 8 * len(SEP)
        assert len(burst) - len(rmc) == fixed == 372, (len(burst), len(rmc))
    assert code == 0, code
    print("1 passed, 0 failed")


if __name__ == "__main__":
    main()
