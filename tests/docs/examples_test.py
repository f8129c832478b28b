#!/usr/bin/python3
"""Runs every Python example of the README and the manual as written, each
against zrt-serve with the simulated instrument at the address it names
(127.0.0.1:5025; VXI-11's port mapper on 111): raw lines for an example that
writes the instrument's own lines, SCPI for the others, and VXI-11 too for an
INSTR resource. Each must set a timeout and end well within LIMIT. Run in a
private network namespace, so that those ports are the test's own.

    examples_test.py SOURCE_DIR BIN_DIR
"""
import os
import pathlib
import re
import subprocess
import sys
import threading

if os.environ.get("ZRT_NETNS") != "1":
    os.environ["ZRT_NETNS"] = "1"
    unshare = ["unshare", "-n"] if os.geteuid() == 0 else ["unshare", "-rn"]
    os.execvp(unshare[0], unshare + [sys.executable, *sys.argv])

ROOT = pathlib.Path(sys.argv[1]).resolve()
SERVE = pathlib.Path(sys.argv[2]).resolve() / "zrt-serve"
LIMIT = 60  # seconds: far beyond what any example needs


def examples():
    for page in [ROOT / "README.md"] + sorted((ROOT / "docs").glob("*.md")):
        text = page.read_text(encoding="utf-8")
        for match in re.finditer(r"^```python\n(.*?)^```", text, re.S | re.M):
            yield f"{page.relative_to(ROOT)}:{text.count(chr(10), 0, match.start()) + 1}", match.group(1)


def speech(example):
    if "::INSTR" in example:
        return ["--scpi", "--vxi11"]
    return [] if re.search(r"""(write|query)\(["']88""", example) else ["--scpi"]


def run(where, example):
    # A script's queued sets outlast PyVISA's default of 2 s.
    if not re.search(r"timeout\s*=", example):
        return f"{where}: the example sets no timeout"
    subprocess.run(["ip", "link", "set", "lo", "up"], check=True)
    server = subprocess.Popen([str(SERVE), "--simulate", "--listen", "127.0.0.1:5025",
                               *speech(example)], stderr=subprocess.PIPE, text=True)
    log, ready = [], threading.Event()

    def read():
        for line in server.stderr:
            log.append(line)
            if "listening on" in line:
                ready.set()
    threading.Thread(target=read, daemon=True).start()
    try:
        if not ready.wait(LIMIT):
            return f"{where}: zrt-serve did not listen: {''.join(log)}"
        done = subprocess.run([sys.executable, "-c", example], capture_output=True, text=True,
                              timeout=LIMIT, cwd="/tmp")
        if done.returncode != 0:
            return f"{where}: failed\n{done.stdout}{done.stderr}zrt-serve said:\n{''.join(log)}"
    except subprocess.TimeoutExpired:
        return f"{where}: did not end within {LIMIT} s"
    finally:
        server.terminate()
        server.wait(LIMIT)
    return None


def main():
    found = list(examples())
    faults = [fault for fault in (run(where, example) for where, example in found) if fault]
    if len(found) < 4:
        faults.append(f"only {len(found)} Python examples found")
    for fault in faults:
        print(fault)
    print(f"{len(found)} examples, {len(faults)} faults")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
