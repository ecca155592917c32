#!/usr/bin/env python3
"""quorlane.convert and quorlane.read_sections on the 100,000-document benchmark statement.

    python3 bench/bench_convert.py [--documents N] [--repeat R]

Prints, in one process and alternating the cases so that a change of the machine's speed weighs on all alike:
- convert windows-1251 -> UTF-8 and UTF-8 -> windows-1251 (each reads the statement with quorlane_py.parse first,
  then writes its text), against quorlane_py.parse plus bytes.decode() of the same input (target: at most 1.5x);
- read_sections with every key of every section made into str, against quorlane_py.parse (target: at most 3x).
"""

from __future__ import annotations

import argparse
import sys
import time
from pathlib import Path
from typing import Callable

sys.path.insert(0, str(Path(__file__).resolve().parent))
from bench_parse import statement_file  # noqa: E402


def timed(func: Callable[[], object]) -> float:
    start = time.perf_counter()
    func()
    return time.perf_counter() - start


def every_key(data: bytes) -> int:
    import quorlane

    return sum(len(section.attributes) for section in quorlane.read_sections(data).sections)


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--documents", type=int, default=100_000)
    parser.add_argument("--repeat", type=int, default=5)
    args = parser.parse_args()

    import quorlane
    import quorlane_py

    inputs = {encoding: statement_file(args.documents, encoding).read_bytes() for encoding in ("cp1251", "utf-8")}
    cases: dict[str, Callable[[], object]] = {}
    for encoding, data in inputs.items():
        other = "utf-8" if encoding == "cp1251" else "cp1251"
        cases[f"parse {encoding}"] = lambda data=data: quorlane_py.parse(data)
        cases[f"decode {encoding}"] = lambda data=data, encoding=encoding: data.decode(encoding)
        cases[f"convert {encoding} -> {other}"] = lambda data=data, other=other: quorlane.convert(data, other)
        cases[f"sections {encoding}"] = lambda data=data: quorlane.read_sections(data)
        cases[f"every key {encoding}"] = lambda data=data: every_key(data)
    best = {name: float("inf") for name in cases}
    for _ in range(args.repeat):
        for name, case in cases.items():
            best[name] = min(best[name], timed(case))

    print(f"{args.documents} documents; best of {args.repeat}, ms")
    print(f"{'case':34} {'ms':>8} {'ratio':>7}  target")
    for encoding, data in inputs.items():
        other = "utf-8" if encoding == "cp1251" else "cp1251"
        parse, decode = best[f"parse {encoding}"], best[f"decode {encoding}"]
        rows = [
            (f"parse {encoding} ({len(data) / 1e6:.0f} MB)", parse, None, ""),
            (f"bytes.decode {encoding}", decode, None, ""),
            (f"convert {encoding} -> {other}", best[f"convert {encoding} -> {other}"],
             best[f"convert {encoding} -> {other}"] / (parse + decode), "<= 1.5 x (parse + decode)"),
            (f"read_sections {encoding}", best[f"sections {encoding}"], best[f"sections {encoding}"] / parse,
             "x parse"),
            (f"read_sections + every key {encoding}", best[f"every key {encoding}"],
             best[f"every key {encoding}"] / parse, "<= 3 x parse"),
        ]
        for name, seconds, ratio, target in rows:
            shown = "" if ratio is None else f"{ratio:.2f}"
            print(f"{name:34} {seconds * 1e3:8.1f} {shown:>7}  {target}")


if __name__ == "__main__":
    main()
