#!/usr/bin/python3
"""The functions the panel runs while its window starts are laid out together.

    startup_order.py PANEL LIST

Fails when fewer than four in five of the listed functions are still in the
program (the list is stale: run tools/startup_order/generate.py again), when
those that are lie spread out, or when they do not begin where the PLT ends
(the linker did not follow the layout): every first call into a library
passes through the PLT, so the start's code shares its pages.
"""
import re
import subprocess
import sys


def main():
    panel, listing = sys.argv[1], sys.argv[2]
    listed = [line.strip() for line in open(listing) if line.strip()]
    nm = subprocess.run(["nm", "-S", "--defined-only", panel], check=True,
                        capture_output=True, text=True).stdout
    symbols = {}
    for line in nm.splitlines():
        fields = line.split()
        if len(fields) == 4 and fields[2] in "tTwW":
            symbols.setdefault(fields[3], (int(fields[0], 16), int(fields[1], 16)))
    sections = subprocess.run(["readelf", "-SW", panel], check=True,
                              capture_output=True, text=True).stdout
    plt_end = next(int(match.group(1), 16) + int(match.group(2), 16) for match in
                   (re.search(r"\]\s+\.plt\s+\S+\s+([0-9a-f]+)\s+\S+\s+([0-9a-f]+)", line)
                    for line in sections.splitlines()) if match)
    found = {symbols[name] for name in listed if name in symbols}
    present = sum(1 for name in listed if name in symbols) / len(listed)
    size = sum(length for _, length in found)
    span = max(a + s for a, s in found) - min(a for a, _ in found) if found else 0
    begin = min(a for a, _ in found) if found else 0
    print(f"{present:.0%} of the {len(listed)} listed names are in the program; "
          f"{size} bytes of their code lie within {span}, from {begin - plt_end} bytes after the PLT")
    failures = []
    if present < 0.8:
        failures.append("the list is stale: run tools/startup_order/generate.py BUILD_DIR again")
    if span > 2 * size:
        failures.append("the listed functions lie spread out: the linker did not follow the list")
    if not 0 <= begin - plt_end <= 4096:
        failures.append("the listed functions do not follow the PLT: the linker did not follow "
                        "the layout")
    for failure in failures:
        print(failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
