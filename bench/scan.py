#!/usr/bin/env python3
"""Measures the scan of large add-in roots against the floor of walking them.

  bench/scan.py                       # native build and the .exe under Wine
  bench/scan.py --sizes 1000 --runs 5 --no-wine

Natively, the program runs against synthetic add-in trees and, alternating
with it, `find ROOT -type d` walks the same tree. Under Wine, the .exe runs on
the smallest tree, alternating with an empty Windows program (the floor of
starting one) and with a bare FindFirstFileW walk of the tree (the floor of
walking it there). It prints the median wall times, the ratios, and the
program's peak memory. It asserts nothing: it is a measurement, not a test.
"""
import argparse
import os
import pwd
import shutil
import statistics
import subprocess
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
WINE = "/usr/lib/wine/wine64"
WINESERVER = "/usr/lib/wine/wineserver64"
VERSIONS = ("2021", "2022", "2023", "2024", "2025", "2026")


def make_tree(addins, count):
    """Makes `count` folders below `addins`: six version folders, vendor
    folders with nested add-in trees, and every tenth vendor with a hidden
    cache tree."""
    made = 0

    def folder(*parts):
        nonlocal made
        if made >= count:
            return False
        os.mkdir(os.path.join(addins, *parts))
        made += 1
        return True

    os.makedirs(addins)
    for v in VERSIONS[:3]:
        folder(v)
    vendor = 0
    while made < count:
        name = "Vendor%05d" % vendor
        if not folder(name):
            break
        if vendor < 3:
            folder(name, VERSIONS[3 + vendor])
        hidden = vendor % 10 == 0
        top = ".cache" if hidden else "AddIn"
        if folder(name, top):
            for plugin in range(8):
                p = "Plugin%d" % plugin
                if not folder(name, top, p):
                    break
                for sub in ("bin", "resources", os.path.join("resources", "icons"),
                            os.path.join("resources", "lang"), os.path.join("resources", "lang", "de-DE")):
                    folder(name, top, p, sub)
        vendor += 1
    return made


def timed(command, env):
    """Wall time in seconds, peak resident memory in KiB, and exit code of
    one run. GNU time reads the peak: a child of this script would inherit
    the script's own resident size in its count."""
    with tempfile.NamedTemporaryFile("r") as peak:
        start = time.perf_counter()
        done = subprocess.run(["/usr/bin/time", "-q", "-f", "%M", "-o", peak.name] + command,
                              env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        elapsed = time.perf_counter() - start
        return elapsed, int(peak.read().split()[-1]), done.returncode


def alternate(commands, runs):
    """Runs the commands in turn, after one warm-up each; for each, the
    median wall time, the highest peak memory and the exit codes."""
    for command, env in commands:
        timed(command, env)
    times = [[] for _ in commands]
    peaks = [0 for _ in commands]
    codes = [set() for _ in commands]
    for _ in range(runs):
        for i, (command, env) in enumerate(commands):
            t, rss, code = timed(command, env)
            times[i].append(t)
            peaks[i] = max(peaks[i], rss)
            codes[i].add(code)
    return [(statistics.median(t), p, c) for t, p, c in zip(times, peaks, codes)]


def report(label, results, names):
    """One line: the program first, then each floor and the ratio to it."""
    (t_p, peak, codes) = results[0]
    line = "%-24s program %8.1f ms  peak %5.1f MiB  exit %s" % (
        label, t_p * 1e3, peak / 1024.0, ",".join(str(c) for c in sorted(codes)))
    for name, (t, _, _) in zip(names, results[1:]):
        line += "  |  %s %8.1f ms  ratio %5.2f" % (name, t * 1e3, t_p / t)
    print(line, flush=True)
    # Figures of a run that failed measure nothing.
    if any(c != {0} for _, _, c in results):
        raise SystemExit("a measured command did not end with 0: %s" % label)


def native(args, work):
    program = os.path.join(ROOT, args.native_build, "korvane-register")
    for size in args.sizes:
        app_data = os.path.join(work, "native-%d" % size)
        addins = os.path.join(app_data, "Autodesk", "Revit", "Addins")
        made = make_tree(addins, size)
        env = dict(os.environ, APPDATA=app_data)
        results = alternate([([program, "C:\\Korvane"], env),
                             (["find", addins, "-type", "d"], env)], args.runs)
        report("native, %d folders" % made, results, ["find"])
        shutil.rmtree(app_data)


def wine(args, work):
    build = os.path.join(ROOT, args.windows_build)
    prefix = os.path.join(work, "wine")
    env = dict(os.environ, WINEPREFIX=prefix, WINEDEBUG="-all")
    subprocess.run([WINE, "wineboot", "-i"], env=env, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)
    # A server that stays up, so that each run pays for starting a program
    # and not for starting Wine's server.
    server = subprocess.Popen([WINESERVER, "-p", "-f"], env=env)
    try:
        user = pwd.getpwuid(os.getuid()).pw_name
        app_data = os.path.join(prefix, "drive_c", "users", user, "AppData", "Roaming")
        size = min(args.sizes)
        made = make_tree(os.path.join(app_data, "Autodesk", "Revit", "Addins"), size)
        addins = "C:\\users\\%s\\AppData\\Roaming\\Autodesk\\Revit\\Addins" % user
        exe = os.path.join(build, "korvane-register.exe")
        empty = os.path.join(build, "bench", "empty_program.exe")
        walk = os.path.join(build, "bench", "walk_folders.exe")
        results = alternate([([WINE, exe, "C:\\Korvane"], env), ([WINE, empty], env),
                             ([WINE, walk, addins], env)], args.runs)
        report("Wine, %d folders" % made, results, ["empty", "FindFirstFileW walk"])
    finally:
        subprocess.run([WINESERVER, "-k"], env=env, stderr=subprocess.DEVNULL)
        server.wait()
    print("%-26s %d bytes" % ("korvane-register.exe", os.path.getsize(exe)))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--sizes", type=int, nargs="+", default=[1000, 10000, 100000])
    parser.add_argument("--runs", type=int, default=11, help="alternating runs of each")
    parser.add_argument("--native-build", default="build/native")
    parser.add_argument("--windows-build", default="build/windows")
    parser.add_argument("--no-wine", action="store_true")
    args = parser.parse_args()
    work = tempfile.mkdtemp(prefix="korvane-bench-")
    try:
        native(args, work)
        if not args.no_wine:
            wine(args, work)
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
