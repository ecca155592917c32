#!/usr/bin/env python3
"""The package's readings against quorlane_py.parse, on the 100,000-document benchmark statement.

    python3 bench/bench_convert.py [--documents N] [--repeat R]

Prints, in one process and alternating the cases so that a change of the machine's speed weighs on all alike
(best of R, for windows-1251 and UTF-8 bytes):
- convert to the other encoding, against quorlane_py.parse plus bytes.decode() of the same input (target: at
  most 1.0x): one reading that both checks the statement and writes its text;
- read_sections with every (key, value) pair of every section made, against quorlane_py.parse (target: at most
  5x);
- read_table and convert of the same statement cut before its "КонецФайла", which every reading refuses at its
  end, against the parse that refuses it (target: at most 1.3x): a failing call reads the statement once too.
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
    try:
        func()
    except Exception:  # the failing cases: their time is what is measured
        pass
    return time.perf_counter() - start


def every_pair(data: bytes) -> int:
    import quorlane

    return sum(len(section.attributes) for section in quorlane.read_sections(data).sections)


def unfinished(data: bytes, encoding: str) -> bytes:
    """The statement without its closing line: read to its end, then refused."""
    end = "КонецФайла".encode(encoding)
    cut = data.rindex(end)
    return data[:cut]


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
        failing = unfinished(data, encoding)
        cases[f"parse {encoding}"] = lambda data=data: quorlane_py.parse(data)
        cases[f"decode {encoding}"] = lambda data=data, encoding=encoding: data.decode(encoding)
        cases[f"convert {encoding}"] = lambda data=data, other=other: quorlane.convert(data, other)
        cases[f"every pair {encoding}"] = lambda data=data: every_pair(data)
        cases[f"failing parse {encoding}"] = lambda data=failing: quorlane_py.parse(data)
        cases[f"failing table {encoding}"] = lambda data=failing: quorlane.read_table(data)
        cases[f"failing convert {encoding}"] = lambda data=failing, other=other: quorlane.convert(data, other)
    best = {name: float("inf") for name in cases}
    for _ in range(args.repeat):
        for name, case in cases.items():
            best[name] = min(best[name], timed(case))

    print(f"{args.documents} documents; best of {args.repeat}, ms")
    print(f"{'case':40} {'ms':>8} {'ratio':>7}  target")
    for encoding, data in inputs.items():
        other = "utf-8" if encoding == "cp1251" else "cp1251"
        parse, decode, failing = best[f"parse {encoding}"], best[f"decode {encoding}"], best[f"failing parse {encoding}"]
        rows = [
            (f"parse {encoding} ({len(data) / 1e6:.0f} MB)", parse, None, ""),
            (f"bytes.decode {encoding}", decode, None, ""),
            (f"convert {encoding} -> {other}", best[f"convert {encoding}"],
             best[f"convert {encoding}"] / (parse + decode), "<= 1.0 x (parse + decode)"),
            (f"read_sections, every pair, {encoding}", best[f"every pair {encoding}"],
             best[f"every pair {encoding}"] / parse, "<= 5 x parse"),
            (f"parse {encoding}, unfinished", failing, None, ""),
            (f"read_table {encoding}, unfinished", best[f"failing table {encoding}"],
             best[f"failing table {encoding}"] / failing, "<= 1.3 x failing parse"),
            (f"convert {encoding}, unfinished", best[f"failing convert {encoding}"],
             best[f"failing convert {encoding}"] / failing, "<= 1.3 x failing parse"),
        ]
        for name, seconds, ratio, target in rows:
            shown = "" if ratio is None else f"{ratio:.2f}"
            print(f"{name:40} {seconds * 1e3:8.1f} {shown:>7}  {target}")


if __name__ == "__main__":
    main()
