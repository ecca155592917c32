#!/usr/bin/env python3
"""Time of `quorlane json` and `quorlane csv` against the work they cannot avoid.

For the 100,000-document statement the baseline, in this process, is
json.dumps(quorlane.to_dict(quorlane_py.parse(data)), ensure_ascii=False). Each command runs as a user runs it,
`python -m quorlane ...` in a fresh process with its output to a file, so its time includes the interpreter's
start, reading the file and writing the output. Targets: json at most 2x the baseline, csv at most 1.5x. The other
forms (--lines, --all-keys, --excel) and `check` with and without --balances are shown beside them, without
targets. Baseline and commands alternate, best of R each, so that a change of the machine's speed weighs on all
alike; on a shared machine the figures still vary from run to run by some tens of per cent.

The statement comes from gen_statement.py and is kept under bench/data/ (git-ignored).
Usage: bench_cli.py [--documents N] [--repeat R] [--encoding utf-8|cp1251]
"""

from __future__ import annotations

import argparse
import json
import subprocess
import sys
import tempfile
import time
from pathlib import Path

from bench_parse import statement_file

COMMANDS = [
    ("json", ["json"], 2.0),
    ("csv", ["csv"], 1.5),
    ("json --lines", ["json", "--lines"], None),
    ("json --indent 2", ["json", "--indent", "2"], None),
    ("json --all-keys", ["json", "--all-keys"], None),
    ("csv --excel", ["csv", "--excel"], None),
    ("csv --all-keys", ["csv", "--all-keys"], None),
    ("check", ["check"], None),
    ("check --balances", ["check", "--balances"], None),
]


def baseline(data: bytes) -> float:
    import quorlane
    import quorlane_py

    start = time.perf_counter()
    json.dumps(quorlane.to_dict(quorlane_py.parse(data)), ensure_ascii=False)
    return time.perf_counter() - start


def command_time(arguments: list[str], path: Path, folder: str) -> float:
    with open(Path(folder) / "out", "wb") as out:
        start = time.perf_counter()
        # Run outside the source tree, so that the installed package (with its extension) is the one imported.
        status = subprocess.run([sys.executable, "-m", "quorlane", *arguments, str(path)], stdout=out,
                                cwd=folder).returncode
        elapsed = time.perf_counter() - start
    if status not in (0, 1):  # check answers 1 for the generated statement, whose turnovers are made up
        raise SystemExit(f"quorlane {' '.join(arguments)} ended with status {status}")
    return elapsed


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--documents", type=int, default=100_000)
    parser.add_argument("--repeat", type=int, default=3)
    parser.add_argument("--encoding", choices=["utf-8", "cp1251"], default="utf-8")
    args = parser.parse_args()

    path = statement_file(args.documents, args.encoding)
    data = path.read_bytes()
    base = float("inf")
    times = {label: float("inf") for label, _, _ in COMMANDS}
    with tempfile.TemporaryDirectory() as folder:
        for _ in range(args.repeat):
            base = min(base, baseline(data))
            for label, arguments, _ in COMMANDS:
                times[label] = min(times[label], command_time(arguments, path, folder))
    print(f"{args.documents} documents, {args.encoding}, {len(data) / 1e6:.0f} MB; best of {args.repeat}")
    print(f"baseline json.dumps(to_dict(parse(data)), ensure_ascii=False): {base:.2f} s")
    print(f"{'command':<20}{'s':>7}{'ratio':>8}{'target':>8}")
    for label, _, target in COMMANDS:
        ratio = times[label] / base
        verdict = "" if target is None else f"{target:.1f}x {'ok' if ratio <= target else 'MISSED'}"
        print(f"{label:<20}{times[label]:>7.2f}{ratio:>7.2f}x  {verdict}")


if __name__ == "__main__":
    main()
