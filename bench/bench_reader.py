#!/usr/bin/env python3
"""Reader benchmark: the C++ reader against CPython's bytes.decode() of the same statement, in the same run.

Makes the 100,000-document UTF-8 statement under bench/data/ with gen_statement.py (once), times the best of
several decodes with CPython, runs bench_reader on the same file, and prints both figures and their ratio.

    python3 bench/bench_reader.py [--binary build/bench/bench/bench_reader] [--documents 100000] [--runs 5]
"""
import argparse
import pathlib
import subprocess
import sys
import time

HERE = pathlib.Path(__file__).resolve().parent


def statement(documents: int, seed: int) -> pathlib.Path:
    path = HERE / "data" / f"statement-{documents}-utf-8-{seed}.txt"
    if not path.exists():
        path.parent.mkdir(parents=True, exist_ok=True)
        subprocess.run([sys.executable, str(HERE / "gen_statement.py"), "--documents", str(documents),
                        "--encoding", "utf-8", "--seed", str(seed), "-o", str(path)], check=True)
    return path


def best_decode_seconds(data: bytes, runs: int) -> float:
    best = float("inf")
    for _ in range(runs):
        start = time.perf_counter()
        text = data.decode()
        best = min(best, time.perf_counter() - start)
        del text
    return best


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--binary", default=str(HERE.parent / "build" / "bench" / "bench" / "bench_reader"))
    parser.add_argument("--documents", type=int, default=100_000)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--runs", type=int, default=5)
    args = parser.parse_args()

    path = statement(args.documents, args.seed)
    data = path.read_bytes()
    decode = best_decode_seconds(data, args.runs)
    out = subprocess.run([args.binary, str(path), str(args.runs)], check=True, capture_output=True, text=True)
    fields = dict(item.split("=", 1) for item in out.stdout.split())
    reader = float(fields["seconds"])
    # The C++ run comes between two decode timings, so that a change of machine load shows in the figures.
    decode = min(decode, best_decode_seconds(data, args.runs))

    mb = len(data) / 1e6
    print(f"statement: {path.name}, {mb:.1f} MB, {fields['documents']} documents")
    print(f"CPython bytes.decode(): {decode:.4f} s ({mb / decode:.0f} MB/s)")
    print(f"quorlane parse_statement: {reader:.4f} s ({mb / reader:.0f} MB/s)")
    print(f"ratio reader/decode: {reader / decode:.2f} (target at most 0.40)")
    print(f"peak memory beyond the input: {fields['peak_extra_mb']} MB = {fields['peak_extra_ratio']}x the input "
          f"(target at most 1.50x)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
