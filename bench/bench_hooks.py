#!/usr/bin/env python3
"""What hooks add to quorlane_py.parse, per section.

For the 20,000-document statement (UTF-8 bytes) it prints the parse time without hooks, with a hook that does
nothing and with a hook that changes one value of every document, and what each hook adds per section in
microseconds (target: <= 3 us for both). Each case is timed in the same process as the hook-less parse,
alternating the three, keeping the best of each; several fresh processes run, the figures shown are those of
the process with the median no-op overhead, next to the overheads of all processes (a busy machine shows in
them).

The statement comes from gen_statement.py and is kept under bench/data/ (git-ignored).
Usage: bench_hooks.py [--documents N] [--repeat R] [--processes P]
"""

from __future__ import annotations

import argparse
import json
import subprocess
import sys
import time
from collections.abc import Callable
from pathlib import Path

from bench_parse import statement_file

NUMBER_KEY = "Номер"


def no_op(section_type: object, attrs: dict[str, str], header: dict[str, str]) -> None:
    pass


def one_change(section_type: object, attrs: dict[str, str], header: dict[str, str]) -> None:
    number = attrs.get(NUMBER_KEY)
    if number is not None:
        attrs[NUMBER_KEY] = number + "/1"


def time_once(func: Callable[[], object]) -> float:
    start = time.perf_counter()
    func()
    return time.perf_counter() - start


def child(path: str, repeat: int) -> None:
    """One process: the three cases alternated, the best time of each."""
    import quorlane_py

    data = Path(path).read_bytes()
    sections = data.count("СекцияРасчСчет\r\n".encode()) + data.count("СекцияДокумент=".encode())
    changed = quorlane_py.parse(data, [one_change]).documents[0].doc_number
    assert changed.endswith("/1"), changed  # the change reached the result

    cases: dict[str, Callable[[], object]] = {
        "plain": lambda: quorlane_py.parse(data),
        "no_op": lambda: quorlane_py.parse(data, [no_op]),
        "one_change": lambda: quorlane_py.parse(data, [one_change]),
    }
    best = {name: float("inf") for name in cases}
    for _ in range(repeat):
        for name, func in cases.items():
            best[name] = min(best[name], time_once(func))
    print(json.dumps({"sections": sections, **best}))


def run_child(path: Path, repeat: int) -> dict[str, float]:
    out = subprocess.run([sys.executable, __file__, "--child", str(path), "--repeat", str(repeat)],
                         check=True, capture_output=True, text=True).stdout
    result: dict[str, float] = json.loads(out)
    return result


def overhead_us(run: dict[str, float], case: str) -> float:
    return (run[case] - run["plain"]) / run["sections"] * 1e6


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--documents", type=int, default=20_000)
    parser.add_argument("--repeat", type=int, default=7)
    parser.add_argument("--processes", type=int, default=3)
    parser.add_argument("--child", metavar="PATH", help=argparse.SUPPRESS)
    args = parser.parse_args()
    if args.child:
        child(args.child, args.repeat)
        return

    path = statement_file(args.documents, "utf-8")
    runs = [run_child(path, args.repeat) for _ in range(args.processes)]
    runs.sort(key=lambda r: overhead_us(r, "no_op"))
    middle = runs[len(runs) // 2]
    print(f"{args.documents} documents ({middle['sections']:.0f} sections), best of {args.repeat} runs in each of "
          f"{args.processes} processes (the median process shown)")
    print(f"{'case':<22}{'parse ms':>10}{'x plain':>9}{'us/section added':>18}{'added per process':>26}")
    print(f"{'no hooks':<22}{middle['plain'] * 1e3:>10.1f}")
    for label, case in (("no-op hook", "no_op"), ("one-change hook", "one_change")):
        spread = " ".join(f"{overhead_us(r, case):.2f}" for r in runs)
        print(f"{label:<22}{middle[case] * 1e3:>10.1f}{middle[case] / middle['plain']:>9.2f}"
              f"{overhead_us(middle, case):>18.2f}{spread:>26}")
    print("target: <= 3 us per section added, for both hooks")


if __name__ == "__main__":
    main()
