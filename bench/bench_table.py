#!/usr/bin/env python3
"""read_table against quorlane_py.parse, its memory, and `quorlane parquet` on every core.

For the 100,000-document statement (UTF-8 bytes, windows-1251 bytes, and the same UTF-8 text as a str) it prints
the time of quorlane.read_table next to quorlane_py.parse of the same input in the same process and their ratio
(target: at most 1.2x), the peak memory the first read_table adds (target: at most 1.5x the input), and what
pyarrow.table() of the result adds (target: no copy of the texts, so about nothing; pyarrow's own allocator
counts what it made). Each case runs in fresh subprocesses, so that ru_maxrss before and after the first call
brackets that call alone; each process alternates the two and keeps the best of each, and the figures shown are
those of the process with the median ratio, next to the ratios of all processes (a busy machine shows in them).
Then `quorlane parquet` over --files statements of --file-documents documents (bench_check.py's statements,
written once under bench/data/) with one process per core and with one: with every core busy, user+sys
approaches cores x real.
Usage: bench_table.py [--documents N] [--repeat R] [--processes P] [--files F] [--file-documents D] [--no-parquet]
"""

from __future__ import annotations

import argparse
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))
from bench_check import statements, timed  # noqa: E402
from bench_parse import maxrss_bytes, statement_file  # noqa: E402


def child(kind: str, path: str, repeat: int) -> None:
    """One case in a fresh process: the memory of the first read_table and of pyarrow.table, then the timings."""
    import quorlane
    import quorlane_py

    data = Path(path).read_bytes()
    statement = data.decode("utf-8") if kind == "str" else data
    before = maxrss_bytes()
    table = quorlane.read_table(statement)
    added = maxrss_bytes() - before
    arrow_added = arrow_allocated = None
    try:
        import pyarrow as pa
    except ImportError:
        pass
    else:
        pa.table(quorlane.empty_table())  # pyarrow.table imports pandas on its first call: not counted
        before, allocated = maxrss_bytes(), pa.total_allocated_bytes()
        documents = pa.table(table)
        arrow_added, arrow_allocated = maxrss_bytes() - before, pa.total_allocated_bytes() - allocated
        del documents
    rows = len(table)
    del table

    # Alternated, so that a change of the machine's speed during the run weighs on both alike.
    parse_time = table_time = float("inf")
    for _ in range(repeat):
        start = time.perf_counter()
        quorlane_py.parse(statement)
        parse_time = min(parse_time, time.perf_counter() - start)
        start = time.perf_counter()
        quorlane.read_table(statement)
        table_time = min(table_time, time.perf_counter() - start)
    print(json.dumps({"input": len(data), "rows": rows, "added": added, "arrow_added": arrow_added,
                      "arrow_allocated": arrow_allocated, "parse": parse_time, "table": table_time}))


def run_child(kind: str, path: Path, repeat: int) -> dict:
    out = subprocess.run([sys.executable, __file__, "--child", kind, str(path), "--repeat", str(repeat)],
                         check=True, capture_output=True, text=True).stdout
    result: dict = json.loads(out)
    return result


def tables(args: argparse.Namespace) -> None:
    cases = [
        ("utf-8 bytes", "utf-8", statement_file(args.documents, "utf-8")),
        ("cp1251 bytes", "cp1251", statement_file(args.documents, "cp1251")),
        ("str", "str", statement_file(args.documents, "utf-8")),
    ]
    print(f"read_table: {args.documents} documents, best of {args.repeat} runs in each of {args.processes} "
          "processes (the median process shown)")
    print(f"{'case':<14}{'input MB':>10}{'parse ms':>10}{'table ms':>10}{'ratio':>7}  {'ratio per process':<22}"
          f"{'added MB':>10}{'x input':>9}{'pa.table MB':>13}")
    mb = 1024 * 1024
    for label, kind, path in cases:
        runs = sorted((run_child(kind, path, args.repeat) for _ in range(args.processes)),
                      key=lambda r: r["table"] / r["parse"])
        middle = runs[len(runs) // 2]
        added = max(r["added"] for r in runs)
        spread = " ".join(f"{r['table'] / r['parse']:.2f}" for r in runs)
        arrow = "-" if middle["arrow_added"] is None else (
            f"{max(r['arrow_added'] for r in runs) / mb:.1f}+{middle['arrow_allocated'] / mb:.1f}")
        print(f"{label:<14}{middle['input'] / mb:>10.1f}{middle['parse'] * 1e3:>10.1f}{middle['table'] * 1e3:>10.1f}"
              f"{middle['table'] / middle['parse']:>7.2f}  {spread:<22}{added / mb:>10.1f}"
              f"{added / middle['input']:>9.2f}{arrow:>13}")
    print("targets: ratio <= 1.2; x input <= 1.5; pa.table adds no copy (RSS MB + pyarrow-allocated MB near 0)")


def parquet(args: argparse.Namespace) -> None:
    folder = statements(args.files, args.file_documents)
    size = sum(p.stat().st_size for p in folder.iterdir()) / 2**20
    cores = os.cpu_count() or 1
    print(f"\nquorlane parquet: {args.files} files of {args.file_documents} documents ({size:.0f} MB), {cores} cores")
    print(f"{'jobs':<8}{'real s':>8}{'user+sys s':>12}{'busy cores':>12}")
    for jobs in (cores, 1):
        out = Path(tempfile.mkdtemp(prefix="bench-parquet-"))
        try:
            real, cpu = timed([sys.executable, "-m", "quorlane", "parquet", str(folder), "-o", str(out / "dataset"),
                               "--jobs", str(jobs)])
        finally:
            shutil.rmtree(out)
        print(f"{jobs:<8}{real:>8.2f}{cpu:>12.2f}{cpu / real:>12.2f}")
    print(f"target: busy cores near {cores} with {cores} jobs")


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--documents", type=int, default=100_000)
    parser.add_argument("--repeat", type=int, default=3)
    parser.add_argument("--processes", type=int, default=3)
    parser.add_argument("--files", type=int, default=1000)
    parser.add_argument("--file-documents", type=int, default=1000)
    parser.add_argument("--no-parquet", action="store_true", help="only read_table")
    parser.add_argument("--child", nargs=2, metavar=("KIND", "PATH"), help=argparse.SUPPRESS)
    args = parser.parse_args()
    if args.child:
        child(args.child[0], args.child[1], args.repeat)
        return
    tables(args)
    if not args.no_parquet:
        parquet(args)


if __name__ == "__main__":
    main()
