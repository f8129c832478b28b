#!/usr/bin/env python3
"""Holds the code to the lines its folders draw.

- A room of the window (a folder under src/window) includes only itself and
  the rooms its CMakeLists.txt names after "Rooms it may use:", links only
  their libraries, and never uses the main window at the top.
- Only the program's entry points use the window.
- The plain C++ parts (compose, settings, guard, net, rpc, scpi) use no Qt.
- The window's folder holds only the main window at its top; the rest is in
  rooms.
- The instrument server keeps the queue, the turns and the limits on
  clients; each speech is a client type of its own (a class in a file of its
  own), and the server stays small.


Prints each crossing and exits 1 if there is one.
"""
import pathlib
import re
import sys

ROOT = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".").resolve()
SRC = ROOT / "src"
WINDOW = SRC / "window"
INCLUDE = re.compile(r'^\s*#\s*include\s*[<"]([^>"]+)[>"]', re.M)


def sources(folder):
    return sorted(p for p in folder.rglob("*") if p.suffix in (".h", ".cpp"))


def includes(path):
    return INCLUDE.findall(path.read_text(encoding="utf-8"))


def rooms():
    found = {}
    for lists in sorted(WINDOW.glob("*/CMakeLists.txt")):
        said = re.search(r"^# Rooms it may use: (.*)$", lists.read_text(encoding="utf-8"), re.M)
        if not said:
            found[lists.parent.name] = None
            continue
        words = said.group(1).split()
        found[lists.parent.name] = set() if words == ["none"] else set(words)
    return found


def crossings():
    allowed = rooms()
    for room, may in allowed.items():
        folder = WINDOW / room
        if may is None:
            yield f"{folder / 'CMakeLists.txt'}: no line saying which rooms it may use"
            continue
        unknown = may - allowed.keys()
        if unknown:
            yield f"{folder / 'CMakeLists.txt'}: names no room {sorted(unknown)}"
        for path in sources(folder):
            for name in includes(path):
                parts = name.split("/")
                if parts[0] != "window":
                    continue
                if len(parts) == 2:
                    yield f"{path.relative_to(ROOT)}: uses the main window's {name}"
                elif parts[1] != room and parts[1] not in may:
                    yield f"{path.relative_to(ROOT)}: uses room {parts[1]} ({name})"
        lists = (folder / "CMakeLists.txt").read_text(encoding="utf-8")
        linking = " ".join(re.findall(r"target_link_libraries\(([^)]*)\)", lists))
        linked = set(re.findall(r"\bzrt_window(?:_(\w+))?\b", linking))
        for other in linked - {room} - may:
            yield f"{folder / 'CMakeLists.txt'}: links " + (
                f"room {other}" if other else "the main window")
    for path in sources(SRC):
        top = path.relative_to(SRC).parts[0]
        for name in includes(path):
            if name.startswith("window/") and top not in ("window", "app"):
                yield f"{path.relative_to(ROOT)}: uses the window ({name})"
            if top in ("compose", "settings", "guard", "net", "rpc", "scpi") and re.match(r"Q[A-Za-z]+$", name.split("/")[-1]):
                yield f"{path.relative_to(ROOT)}: plain C++ uses Qt ({name})"


# Files that may stand at the top of src/window.
WINDOW_TOP = {"CMakeLists.txt", "main_window.h", "main_window.cpp"}
# The speeches the instrument server runs, each its own client type.
SPEECHES = {"line_speech": "LineSpeech", "scpi_speech": "ScpiSpeech"}
SERVER_MOST_LINES = 450


def tangles():
    for path in sorted(WINDOW.iterdir()):
        if path.is_file() and path.name not in WINDOW_TOP:
            yield f"{path.relative_to(ROOT)}: stands at the window's top, outside the rooms"
    serve = SRC / "serve"
    server = (serve / "instrument_server.cpp").read_text(encoding="utf-8")
    lines = server.count("\n")
    if lines > SERVER_MOST_LINES:
        yield f"src/serve/instrument_server.cpp: {lines} lines (at most {SERVER_MOST_LINES})"
    for name, speech in SPEECHES.items():
        header = serve / f"{name}.h"
        if not header.exists() or not re.search(
                rf"class {speech}\b[^{{;]*:\s*public\s+Speech\b", header.read_text(encoding="utf-8")):
            yield f"src/serve/{name}.h: no {speech}, a Speech of its own"
        # The server chooses a client's speech once; it never asks which one a
    # client has, nor speaks one itself.
    for word in ("scpi::Client", "client->scpi", "client.scpi"):
        if word in server:
            yield f"src/serve/instrument_server.cpp: speaks a speech itself ({word})"


def main():
    found = list(crossings()) + list(tangles())
    for line in found:
        print(line)
    if not rooms():
        print(f"{WINDOW}: no rooms found")
        return 1
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
