#!/usr/bin/env python3
"""`quorlane check` over many statements: wall-clock time against the CPU time of all its processes.

Writes --files statements of --documents documents each (gen_statement.py's text, one seed per file, half of
them in windows-1251) under bench/data/check-FILES-DOCUMENTS/ once, then runs `quorlane check` on the folder
with one process per core and with --jobs 1. With every core busy, user+sys approaches cores x real.
Usage: bench_check.py [--files N] [--documents D] [--repeat R]
"""

from __future__ import annotations

import argparse
import os
import resource
import subprocess
import sys
import time
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))
from gen_statement import statement_lines  # noqa: E402


def statements(files: int, documents: int) -> Path:
    folder = HERE / "data" / f"check-{files}-{documents}"
    if not (folder / f"{files - 1:05d}.txt").exists():
        folder.mkdir(parents=True, exist_ok=True)
        for i in range(files):
            encoding = "cp1251" if i % 2 else "utf-8"
            text = "\r\n".join(statement_lines(documents, i, encoding)) + "\r\n"
            (folder / f"{i:05d}.txt").write_bytes(text.encode(encoding))
    return folder


def timed(args: list[str]) -> tuple[float, float]:
    """(real, user+sys of the command and its processes), in seconds."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    subprocess.run(args, check=True, stdout=subprocess.DEVNULL)
    real = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    return real, (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--files", type=int, default=1000)
    parser.add_argument("--documents", type=int, default=100)
    parser.add_argument("--repeat", type=int, default=3)
    args = parser.parse_args()
    folder = statements(args.files, args.documents)
    size = sum(p.stat().st_size for p in folder.iterdir()) / 2**20
    cores = os.cpu_count() or 1
    print(f"{args.files} files of {args.documents} documents ({size:.0f} MB), {cores} cores, best of {args.repeat}")
    print(f"{'jobs':<8}{'real s':>8}{'user+sys s':>12}{'busy cores':>12}")
    for jobs in (cores, 1):
        runs = [timed([sys.executable, "-m", "quorlane", "check", str(folder), "--jobs", str(jobs)])
                for _ in range(args.repeat)]
        real, cpu = min(runs)
        print(f"{jobs:<8}{real:>8.2f}{cpu:>12.2f}{cpu / real:>12.2f}")
    print(f"target: busy cores near {cores} with {cores} jobs")


if __name__ == "__main__":
    main()
