#!/usr/bin/python3
"""Runs every Python example of the README and the manual as written,
against zrt-serve with the simulated instrument at the address the examples
name (127.0.0.1:5025, and VXI-11's port mapper on 111): the raw socket for
an example that writes the instrument's own lines, SCPI for the others,
VXI-11 too for one that opens an INSTR resource. Each must end well within
its time, the instrument pacing every line as a real one does. Run in a
private network namespace, so that those ports are the test's own (as root,
unshare -n; else a user namespace, unshare -rn).

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
LIMIT = 60  # seconds an example may take: far beyond what any needs


def examples():
    for page in [ROOT / "README.md"] + sorted((ROOT / "docs").glob("*.md")):
        text = page.read_text(encoding="utf-8")
        for match in re.finditer(r"^```python\n(.*?)^```", text, re.S | re.M):
            line = text.count("\n", 0, match.start()) + 1
            yield f"{page.relative_to(ROOT)}:{line}", match.group(1)


def speech(example):
    if "::INSTR" in example:
        return ["--scpi", "--vxi11"]
    # The instrument's own lines begin with its address.
    if re.search(r"""(write|query)\(["']88""", example):
        return []
    return ["--scpi"]


def serve(options):
    subprocess.run(["ip", "link", "set", "lo", "up"], check=True)
    server = subprocess.Popen([str(SERVE), "--simulate", "--listen", "127.0.0.1:5025", *options],
                              stderr=subprocess.PIPE, text=True)
    log = []
    ready = threading.Event()

    def read():
        for line in server.stderr:
            log.append(line)
            if "listening on" in line:
                ready.set()
    threading.Thread(target=read, daemon=True).start()
    if not ready.wait(LIMIT):
        server.kill()
        raise AssertionError(f"zrt-serve did not listen: {''.join(log)}")
    return server, log


def run(where, example):
    # A script's queued sets outlast PyVISA's default of 2 s: each example
    # says how long it waits.
    if "open_resource" in example or "VISAAdapter" in example:
        if not re.search(r"timeout\s*=", example):
            return f"{where}: the example sets no timeout"
    server, log = serve(speech(example))
    try:
        done = subprocess.run([sys.executable, "-c", example], capture_output=True, text=True,
                              timeout=LIMIT, cwd="/tmp")
        if done.returncode != 0:
            return (f"{where}: the example failed\n{done.stdout}{done.stderr}"
                    f"zrt-serve said:\n{''.join(log)}")
        return None
    except subprocess.TimeoutExpired:
        return f"{where}: the example did not end within {LIMIT} s"
    finally:
        server.terminate()
        server.wait(LIMIT)


def main():
    faults = []
    count = 0
    for where, example in examples():
        count += 1
        fault = run(where, example)
        print(f"{where}: {'FAILED' if fault else 'ran'}")
        if fault:
            faults.append(fault)
    for fault in faults:
        print(fault)
    if count < 4:
        faults.append(f"only {count} Python examples found")
        print(faults[-1])
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
