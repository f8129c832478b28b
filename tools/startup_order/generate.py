#!/usr/bin/python3
"""Writes the list of the panel's functions that run while its window starts.

    tools/startup_order/generate.py BUILD_DIR [OUT]

BUILD_DIR holds a Linux release build (bin/zrt-panel, built with a section
per function, as the project builds it). The panel is started under
callgrind until its first paint, offscreen and, where Xvfb is installed, on
an X server of its own; every function of the program that ran in either is
listed by its symbol, with the other names the same code goes by (a
constructor's complete and base object names share one body). The linker
lays the listed functions out together, so that starting maps a few of the
program file's pages rather than most of them. Run it again after larger
changes to what the window builds at start: names no longer in the program
are passed over, new ones land wherever the linker puts them.
"""
import collections
import contextlib
import os
import pathlib
import select
import shutil
import subprocess
import sys
import tempfile

HERE = pathlib.Path(__file__).resolve().parent


def executed(panel, workdir, display=None):
    out = workdir / "callgrind.out"
    env = dict(os.environ, HOME=str(workdir), XDG_CONFIG_HOME=str(workdir),
               XDG_RUNTIME_DIR=str(workdir))
    if display:
        env.update(QT_QPA_PLATFORM="xcb", DISPLAY=display)
    else:
        env.update(QT_QPA_PLATFORM="offscreen")
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


@contextlib.contextmanager
def x_server():
    """An Xvfb of our own for as long as the block runs; None without Xvfb."""
    if not shutil.which("Xvfb"):
        yield None
        return
    read, write = os.pipe()
    server = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1280x1024x24",
                               "-nolisten", "tcp"], pass_fds=(write,),
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write)
    try:
        with os.fdopen(read) as numbers:
            # Xvfb writes its display's number once it listens; ten seconds is plenty
            ready, _, _ = select.select([numbers], [], [], 10)
            number = numbers.readline().strip() if ready else ""
        yield f":{number}" if number else None
    finally:
        server.terminate()
        server.wait(timeout=10)


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
    # Offscreen, and on an X server where there is one: there the window also
    # draws its icon for the window manager.
    with tempfile.TemporaryDirectory() as workdir:
        names = executed(panel, pathlib.Path(workdir))
    with x_server() as display, tempfile.TemporaryDirectory() as workdir:
        if display:
            names += [name for name in executed(panel, pathlib.Path(workdir), display)
                      if name not in names]
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
