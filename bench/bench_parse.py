#!/usr/bin/env python3
"""Time and peak memory of quorlane_py.parse.

For the 100,000-document statement (UTF-8 bytes, windows-1251 bytes, and the same UTF-8 text as a str) it
prints the parse time next to bytes.decode() of the same bytes in the same process, their ratio (targets:
at most 0.45x for UTF-8 bytes, 0.5x for windows-1251 bytes, 0.7x for a str), and the peak memory a parse adds
(target: at most 1.2x the input). Each case runs in fresh subprocesses, so that ru_maxrss before and after the
first parse brackets that parse alone. Each process alternates parse and decode runs and keeps the best of
each; the figures shown are those of the process with the median ratio, next to the ratios of all processes
(a busy machine shows in them). The memory is the largest any process added. Last, the time of a typical
100-document statement (target: under 0.1 ms). Run it on one core (taskset -c 0) for figures that do not
depend on what else the machine is doing.

The statements come from gen_statement.py and are kept under bench/data/ (git-ignored).
Usage: bench_parse.py [--documents N] [--repeat R] [--processes P]
"""

from __future__ import annotations

import argparse
import json
import resource
import statistics
import subprocess
import sys
import time
from collections.abc import Callable
from pathlib import Path

HERE = Path(__file__).resolve().parent
DATA = HERE / "data"


def generated(name: str, generator: str, *arguments: str) -> Path:
    """The file bench/data/NAME, made by the generator script (with its arguments and "-o") the first time."""
    path = DATA / name
    if not path.exists():
        DATA.mkdir(exist_ok=True)
        subprocess.run([sys.executable, str(HERE / generator), *arguments, "-o", str(path)], check=True)
    return path


def statement_file(documents: int, encoding: str) -> Path:
    return generated(f"statement-{documents}-{encoding}.txt", "gen_statement.py", "--documents", str(documents),
                     "--encoding", encoding, "--seed", "1")


def maxrss_bytes() -> int:
    rss = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
    return rss if sys.platform == "darwin" else rss * 1024  # Linux reports KiB


def best_time(func: Callable[[], object], repeat: int) -> float:
    times = []
    for _ in range(repeat):
        start = time.perf_counter()
        func()
        times.append(time.perf_counter() - start)
    return min(times)


def child(kind: str, path: str, repeat: int) -> None:
    """One case in a fresh process: memory of the first parse, then the timings."""
    import quorlane_py

    data = Path(path).read_bytes()
    encoding = "cp1251" if kind == "cp1251" else "utf-8"
    statement = data.decode("utf-8") if kind == "str" else data
    input_size = len(data)

    before = maxrss_bytes()
    result = quorlane_py.parse(statement)
    added = maxrss_bytes() - before
    documents = len(result.documents)
    del result

    # Alternated, so that a change of the machine's speed during the run weighs on both alike.
    parse_time = decode_time = float("inf")
    for _ in range(repeat):
        parse_time = min(parse_time, best_time(lambda: quorlane_py.parse(statement), 1))
        decode_time = min(decode_time, best_time(lambda: data.decode(encoding), 1))
    print(json.dumps({"input": input_size, "documents": documents, "added": added, "parse": parse_time,
                      "decode": decode_time}))


def run_child(kind: str, path: Path, repeat: int) -> dict[str, float]:
    out = subprocess.run([sys.executable, __file__, "--child", kind, str(path), "--repeat", str(repeat)],
                         check=True, capture_output=True, text=True).stdout
    result: dict[str, float] = json.loads(out)
    return result


def typical(repeat: int) -> float:
    import quorlane_py

    data = statement_file(100, "utf-8").read_bytes()
    quorlane_py.parse(data)
    rounds = []
    for _ in range(repeat):
        start = time.perf_counter()
        for _ in range(100):
            quorlane_py.parse(data)
        rounds.append((time.perf_counter() - start) / 100)
    return statistics.median(rounds)


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--documents", type=int, default=100_000)
    parser.add_argument("--repeat", type=int, default=3)
    parser.add_argument("--processes", type=int, default=3)
    parser.add_argument("--child", nargs=2, metavar=("KIND", "PATH"), help=argparse.SUPPRESS)
    args = parser.parse_args()
    if args.child:
        child(args.child[0], args.child[1], args.repeat)
        return

    cases = [
        ("utf-8 bytes", "utf-8", statement_file(args.documents, "utf-8")),
        ("cp1251 bytes", "cp1251", statement_file(args.documents, "cp1251")),
        ("str", "str", statement_file(args.documents, "utf-8")),
    ]
    print(f"{args.documents} documents, best of {args.repeat} runs in each of {args.processes} processes"
          " (the median process shown)")
    print(f"{'case':<14}{'input MB':>10}{'parse ms':>10}{'decode ms':>11}{'ratio':>7}  {'ratio per process':<30}"
          f"{'added MB':>10}{'x input':>9}")
    mb = 1024 * 1024
    for label, kind, path in cases:
        runs = [run_child(kind, path, args.repeat) for _ in range(args.processes)]
        # The figures of the process whose ratio is the median: parse and decode from the same run.
        runs.sort(key=lambda r: r["parse"] / r["decode"])
        middle = runs[len(runs) // 2]
        added = max(r["added"] for r in runs)
        spread = " ".join(f"{r['parse'] / r['decode']:.2f}" for r in runs)
        print(f"{label:<14}{middle['input'] / mb:>10.1f}{middle['parse'] * 1e3:>10.1f}{middle['decode'] * 1e3:>11.1f}"
              f"{middle['parse'] / middle['decode']:>7.2f}  {spread:<30}{added / mb:>10.1f}"
              f"{added / middle['input']:>9.2f}")
    print("targets: ratio <= 0.45 (utf-8 bytes), 0.5 (cp1251 bytes), 0.7 (str); x input <= 1.2")
    print(f"typical 100-document statement: {typical(args.repeat * 5) * 1e3:.3f} ms per parse (target < 0.1 ms)")


if __name__ == "__main__":
    main()
