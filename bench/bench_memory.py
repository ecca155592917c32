#!/usr/bin/env python3
"""Peak memory of the command line on a 1 GB statement, against the statement's size.

Each command runs as a user runs it, `python -m quorlane ...` in a fresh process, one after the other (never
two at a time: each would take the other's memory), its output to /dev/null (`convert` writes a file in a
temporary folder, as its users do). Its peak memory is the child's own ru_maxrss, taken from wait4(); the
ratio is that peak over the statement's size. Target: at most 2x the statement plus a constant, the peak of
the same command over a statement of 100 documents (the interpreter and the package).

The statement comes from gen_statement.py (about 1.48 KB a document in UTF-8, so that 725,000 documents make
1.07 GB; 0.92 KB in windows-1251, where 1,160,000 make as much) and is kept under bench/data/ (git-ignored).
Usage: bench_memory.py [--documents N] [--encoding utf-8|cp1251] [--only LABEL ...]
"""

from __future__ import annotations

import argparse
import os
import subprocess
import sys
import tempfile
import time
from pathlib import Path

from bench_parse import statement_file

MIB = 1024 * 1024
COMMANDS = {
    "json": ["json"],
    "json --all-keys": ["json", "--all-keys"],
    "json --lines": ["json", "--lines"],
    "csv": ["csv"],
    "csv --all-keys": ["csv", "--all-keys"],
    "check": ["check"],
    "convert": ["convert"],
    "convert --encoding utf-8": ["convert", "--encoding", "utf-8"],  # windows-1251 grows by about 1.8 in UTF-8
    "convert --encoding cp1251": ["convert", "--encoding", "cp1251"],
}


def peak(arguments: list[str], path: Path, folder: str) -> tuple[float, int]:
    """The command's time in seconds and its peak RSS in bytes."""
    output = [str(Path(folder) / "converted.txt")] if arguments[0] == "convert" else []
    with open(os.devnull, "wb") as null:
        start = time.perf_counter()
        # Run outside the source tree, so that the installed package (with its extension) is the one imported.
        child = subprocess.Popen([sys.executable, "-m", "quorlane", *arguments, str(path), *output], stdout=null,
                                 cwd=folder)
        _, status, usage = os.wait4(child.pid, 0)
        elapsed = time.perf_counter() - start
    code = os.waitstatus_to_exitcode(status)
    if code != 0:
        raise SystemExit(f"quorlane {' '.join(arguments)} ended with status {code}")
    for leftover in Path(folder).iterdir():
        leftover.unlink()
    return elapsed, usage.ru_maxrss * 1024  # Linux reports KiB


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--documents", type=int, default=725_000)
    parser.add_argument("--encoding", choices=["utf-8", "cp1251"], default="utf-8")
    parser.add_argument("--only", nargs="+", choices=list(COMMANDS))
    args = parser.parse_args()
    # Converting into the statement's own encoding is plain `convert`.
    labels = args.only or [label for label in COMMANDS if not label.endswith(" " + args.encoding)]

    path = statement_file(args.documents, args.encoding)
    small = statement_file(100, args.encoding)
    size = path.stat().st_size
    print(f"{args.documents} documents, {args.encoding}, {size / MIB:.0f} MiB; peak RSS of each command, "
          f"the constant being its peak over {small.stat().st_size / 1024:.0f} KiB of 100 documents")
    print(f"{'command':<26}{'s':>8}{'peak MiB':>10}{'x input':>9}{'constant MiB':>14}  target <= 2x + constant")
    with tempfile.TemporaryDirectory() as folder:
        for label in labels:
            _, constant = peak(COMMANDS[label], small, folder)
            seconds, most = peak(COMMANDS[label], path, folder)
            verdict = "ok" if most <= 2 * size + constant else "over"
            print(f"{label:<26}{seconds:>8.1f}{most / MIB:>10.0f}{most / size:>9.2f}{constant / MIB:>14.0f}  "
                  f"{verdict}", flush=True)


if __name__ == "__main__":
    main()
