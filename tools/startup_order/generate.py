#!/usr/bin/python3
"""Writes the list of the panel's functions that run while its window starts.

    tools/startup_order/generate.py BUILD_DIR [OUT]

BUILD_DIR holds a Linux release build (bin/zrt-panel, built with a section
per function, as the project builds it). The panel is started under
callgrind, offscreen, until its first paint; every function of the program
that ran is listed by its symbol, with the other names the same code goes by
(a constructor's complete and base object names share one body). The linker
lays the listed functions out together, so that starting maps a few of the
program file's pages rather than most of them. Run it again after larger
changes to what the window builds at start: names no longer in the program
are passed over, new ones land wherever the linker puts them.
"""
import collections
import os
import pathlib
import subprocess
import sys
import tempfile

HERE = pathlib.Path(__file__).resolve().parent


def executed(panel, workdir):
    out = workdir / "callgrind.out"
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen", HOME=str(workdir),
               XDG_CONFIG_HOME=str(workdir), XDG_RUNTIME_DIR=str(workdir))
    subprocess.run(["valgrind", "--tool=callgrind", f"--callgrind-out-file={out}",
                    "--compress-strings=no", "--compress-pos=no", "--demangle=no",
                    str(panel), "--report-startup"],
                   env=env, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    names, obj = [], None
    for line in out.read_text().splitlines():
        if line.startswith("ob="):
            obj = os.path.realpath(line[3:])
        elif line.startswith("fn=") and obj == os.path.realpath(panel):
            name = line[3:].split("'")[0]  # callgrind marks recursion levels with '
            if not name.startswith(("0x", "(")) and name not in names:
                names.append(name)
    return names


def aliases(panel):
    address, by_address = {}, collections.defaultdict(list)
    nm = subprocess.run(["nm", "--defined-only", str(panel)], check=True,
                        capture_output=True, text=True).stdout
    for line in nm.splitlines():
        fields = line.split()
        if len(fields) == 3 and fields[1] in "tTwW":
            where = int(fields[0], 16)
            address.setdefault(fields[2], where)
            by_address[where].append(fields[2])
    return lambda name: by_address.get(address.get(name), [])


def main():
    build = pathlib.Path(sys.argv[1]).resolve()
    target = pathlib.Path(sys.argv[2]) if len(sys.argv) > 2 else HERE / "functions.txt"
    panel = build / "bin" / "zrt-panel"
    with tempfile.TemporaryDirectory() as workdir:
        names = executed(panel, pathlib.Path(workdir))
    if "main" not in names:
        sys.exit(f"{panel} did not run its main under callgrind; the list is left as it was")
    others = aliases(panel)
    symbols = []
    for name in names:
        for each in [name] + others(name):
            if each not in symbols:
                symbols.append(each)
    # Sorted, so that the list changes only where what the start runs does.
    target.write_text("".join(each + "\n" for each in sorted(symbols)))
    print(f"{target}: {len(symbols)} symbols of {len(names)} functions")


if __name__ == "__main__":
    main()
