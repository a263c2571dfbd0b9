#!/usr/bin/env python3
"""30,000 deletions on Windows itself: VeskClean.exe /temp against the system's del.

Runs on a Windows machine (the Windows workflow's hosted runner), as an administrator: it writes
the host key in HKEY_LOCAL_MACHINE. In each round both contestants delete 20,000 "*.$$$" and
10,000 "log*.txt" files among 20,000 others, each on a fresh copy of the same folder, in turns
(each round starts with the other one). Prints every round and the median of the rounds' ratios
of VeskClean to del, and fails when that median is above the target.

Usage: bench-deletions-windows.py VESKCLEAN_EXE [ROUNDS] [TARGET]   (defaults 7 and 1.10)
       bench-deletions-windows.py --check   (the verdict's arithmetic, on any machine)
"""

import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

TEMP_FILES, LOG_FILES, OTHER_FILES = 20000, 10000, 20000
HOST_KEY = r"Software\TOLM\VESK 4.0"


def verdict(rounds, target):
    """The median of the rounds' ratios (ours / del) and whether it meets the target."""
    ratios = [ours / deleted for ours, deleted in rounds]
    median = statistics.median(ratios)
    return median, median <= target


def fill(host):
    shutil.rmtree(host, ignore_errors=True)
    os.makedirs(host)
    for pattern, count in (("t%05d.$$$", TEMP_FILES), ("log%05d.txt", LOG_FILES),
                           ("keep%05d.dat", OTHER_FILES)):
        for number in range(count):
            open(os.path.join(host, pattern % number), "wb").close()


def left(host):
    """The files each contestant must leave: the others, and our logs."""
    return sorted(name for name in os.listdir(host) if not name.startswith("Cleaning"))


def set_host_key(host):
    import winreg  # Windows only

    access = winreg.KEY_WRITE | winreg.KEY_WOW64_32KEY
    with winreg.CreateKeyEx(winreg.HKEY_LOCAL_MACHINE, HOST_KEY, 0, access) as key:
        winreg.SetValueEx(key, "AppData Path", 0, winreg.REG_SZ, host)


def timed(command):
    started = time.perf_counter()
    completed = subprocess.run(command, capture_output=True, text=True)
    seconds = time.perf_counter() - started
    if completed.returncode != 0:
        sys.exit(f"{command[0]} failed ({completed.returncode}): {completed.stderr[-500:]}")
    return seconds


def main(arguments):
    if arguments[:1] == ["--check"]:
        assert verdict([(1.0, 1.0), (1.2, 1.0), (1.05, 1.0)], 1.10) == (1.05, True)
        assert verdict([(2.4, 2.0), (1.2, 1.0), (1.0, 1.0)], 1.10)[1] is False
        print("the verdict's arithmetic holds")
        return 0
    if not arguments:
        sys.exit(__doc__)
    clean = os.path.abspath(arguments[0])
    rounds = int(arguments[1]) if len(arguments) > 1 else 7
    target = float(arguments[2]) if len(arguments) > 2 else 1.10
    host = os.path.join(tempfile.gettempdir(), "vesk-deletions", "host")
    set_host_key(host)
    kept = [name % number for name, count in (("keep%05d.dat", OTHER_FILES),)
            for number in range(count)]
    contestants = {
        "VeskClean": [clean, "/temp"],
        "del": ["cmd", "/c", "del", "/q", "/a", os.path.join(host, "*.$$$"),
                os.path.join(host, "log*.txt")],
    }
    results = []
    for number in range(1, rounds + 1):
        order = ["VeskClean", "del"] if number % 2 else ["del", "VeskClean"]
        seconds = {}
        for name in order:
            fill(host)
            seconds[name] = timed(contestants[name])
            if left(host) != kept:
                sys.exit(f"{name} left other files than the {OTHER_FILES} others")
        results.append((seconds["VeskClean"], seconds["del"]))
        print(f"round {number}: VeskClean {seconds['VeskClean']:.3f} s, del "
              f"{seconds['del']:.3f} s, ratio {seconds['VeskClean'] / seconds['del']:.3f}",
              flush=True)
    median, met = verdict(results, target)
    print(f"median ratio {median:.3f} (target at most {target:.2f}): "
          f"{'met' if met else 'missed'}")
    return 0 if met else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
