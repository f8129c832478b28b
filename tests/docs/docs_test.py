#!/usr/bin/env python3
"""Holds the README and the manual to what the programs do.

- Every relative link in README.md and docs/*.md leads to a file that
  exists, and an anchor to a heading of that page.
- Every option a program's --help prints is in its man page and in the
  manual (the README or a page of docs/).
- Every build/bin/... command in a code block of the README names a program
  that is built, with options its --help names.
- docs/line-reference.md is what zrt-line-reference writes from the tables.

Usage: docs_test.py SOURCE_DIR BIN_DIR. Prints each fault, exits 1 if any.
"""
import os
import pathlib
import re
import subprocess
import sys

ROOT = pathlib.Path(sys.argv[1]).resolve()
BIN = pathlib.Path(sys.argv[2]).resolve()
PROGRAMS = ("zrt-panel", "zrt-send", "zrt-serve", "zrt-sim")
OPTION = re.compile(r"(?<![\w-])--[a-z][a-z0-9-]*")


def pages():
    return [ROOT / "README.md"] + sorted((ROOT / "docs").glob("*.md"))


def slug(heading):
    """The anchor a heading gets, as GitHub makes it."""
    text = re.sub(r"[`*_]", "", heading.strip().lower())
    text = re.sub(r"[^\w\- ]", "", text)
    return text.replace(" ", "-")


def anchors(page):
    text = page.read_text(encoding="utf-8")
    return {slug(h) for h in re.findall(r"^#+\s+(.*)$", text, re.M)}


def without_code(text):
    return re.sub(r"```.*?```", "", text, flags=re.S)


def broken_links():
    for page in pages():
        text = without_code(page.read_text(encoding="utf-8"))
        for target in re.findall(r"\]\(([^)\s]+)\)", text):
            if re.match(r"[a-z]+:", target):
                continue  # https:, mailto:
            path, _, anchor = target.partition("#")
            file = (page.parent / path).resolve() if path else page
            if not file.exists():
                yield f"{page.relative_to(ROOT)}: the link {target} leads nowhere"
            elif anchor and file.suffix == ".md" and anchor not in anchors(file):
                yield f"{page.relative_to(ROOT)}: {file.name} has no heading #{anchor}"


def help_text(program):
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    run = subprocess.run([str(BIN / program), "--help"], capture_output=True, text=True,
                         env=env, timeout=30)
    return run.stdout + run.stderr


def man_text(program):
    roff = (ROOT / "packaging" / "man" / f"{program}.1").read_text(encoding="utf-8")
    return re.sub(r"\\f[BIRP]", "", roff).replace("\\-", "-")


def undocumented_options(helps):
    manual = "\n".join(page.read_text(encoding="utf-8") for page in pages())
    for program in PROGRAMS:
        man = man_text(program)
        for option in sorted(set(OPTION.findall(helps[program]))):
            if not re.search(re.escape(option) + r"(?![\w-])", man):
                yield f"{program}: {option} is not in its man page"
            if not re.search(re.escape(option) + r"(?![\w-])", manual):
                yield f"{program}: {option} is not in the manual"


def readme_commands(helps):
    text = (ROOT / "README.md").read_text(encoding="utf-8")
    for block in re.findall(r"```[a-z]*\n(.*?)```", text, re.S):
        for line in block.splitlines():
            line = line.split(" #")[0]
            for command in re.findall(r"build/bin/([\w.-]+)([^|&;]*)", line):
                program, arguments = command
                if program not in helps:
                    yield f"README: build/bin/{program} is not a program that is built"
                    continue
                for option in OPTION.findall(arguments):
                    if option not in OPTION.findall(helps[program]):
                        yield f"README: {program} takes no {option}"


def stale_line_reference():
    written = subprocess.run([BIN / "zrt-line-reference"], capture_output=True, text=True,
                             check=True).stdout
    page = (ROOT / "docs" / "line-reference.md").read_text(encoding="utf-8")
    if written != page:
        yield ("docs/line-reference.md is not what the tables give: run "
               "build/bin/zrt-line-reference > docs/line-reference.md")


def main():
    missing = [p for p in (*PROGRAMS, "zrt-line-reference") if not (BIN / p).exists()]
    if missing:
        print(f"not built in {BIN}: {', '.join(missing)}")
        return 1
    helps = {program: help_text(program) for program in PROGRAMS}
    faults = [*broken_links(), *undocumented_options(helps), *readme_commands(helps),
              *stale_line_reference()]
    for fault in faults:
        print(fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
