#!/usr/bin/env python3
"""Reading a whole statement into a ReaderResult, against CPython's bytes.decode() of the same bytes.

    python3 bench/bench_reader.py [--documents N] [--runs R] [--build-dir DIR] [--encoding utf-8|cp1251]

Generates the statement into bench/data/ if absent (the files bench_decode.py uses too), builds the C++
benchmark if needed (-DQUORLANE_BENCH=ON), times CPython's bytes.decode() of the file before and after the C++
run in the same process, and prints both figures, their ratio and the reader's peak memory beyond the input.
Run it on one core (taskset -c 0) for figures that do not depend on what else the machine is doing.
"""

import argparse
import pathlib
import subprocess
import sys
import time

HERE = pathlib.Path(__file__).resolve().parent
ROOT = HERE.parent


def ensure_statement(documents, encoding):
    data = HERE / "data"
    data.mkdir(exist_ok=True)
    path = data / ("statement_%d_%s.txt" % (documents, encoding))
    if not path.exists():
        print("generating %s" % path, flush=True)
        subprocess.run([sys.executable, str(HERE / "gen_statement.py"), "--documents", str(documents),
                        "--encoding", encoding, "-o", str(path)], check=True)
    return path


def ensure_binary(build_dir):
    binary = build_dir / "bench" / "bench_reader"
    if not binary.exists():
        subprocess.run(["cmake", "-S", str(ROOT), "-B", str(build_dir), "-DCMAKE_BUILD_TYPE=Release",
                        "-DQUORLANE_BENCH=ON", "-DQUORLANE_PYTHON=OFF", "-DQUORLANE_TESTS=OFF"], check=True,
                       stdout=subprocess.DEVNULL)
        subprocess.run(["cmake", "--build", str(build_dir), "-j2", "--target", "bench_reader"], check=True,
                       stdout=subprocess.DEVNULL)
    return binary


def best_decode_seconds(data, encoding, runs):
    best = float("inf")
    for _ in range(runs):
        start = time.perf_counter()
        text = data.decode(encoding)
        best = min(best, time.perf_counter() - start)
        del text
    return best


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--documents", type=int, default=100_000)
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--build-dir", type=pathlib.Path, default=ROOT / "build" / "bench")
    parser.add_argument("--encoding", choices=["utf-8", "cp1251"], default="utf-8")
    args = parser.parse_args()

    path = ensure_statement(args.documents, args.encoding)
    binary = ensure_binary(args.build_dir)
    data = path.read_bytes()
    decode = best_decode_seconds(data, args.encoding, args.runs)
    out = subprocess.run([str(binary), str(path), str(args.runs)], check=True, capture_output=True,
                         text=True).stdout
    # Decoding again after the C++ run, so that a change of machine load during the run shows less.
    decode = min(decode, best_decode_seconds(data, args.encoding, args.runs))
    fields = dict(item.split("=", 1) for item in out.split())
    reader = float(fields["seconds"])

    mb = len(data) / 1e6
    print("statement: %s, %.1f MB, %s documents" % (path.name, mb, fields["documents"]))
    print("CPython bytes.decode(%r): best %.4f s (%.0f MB/s)" % (args.encoding, decode, mb / decode))
    print("quorlane parse_statement: best %.4f s (%.0f MB/s)" % (reader, mb / reader))
    print("ratio reader / decode: %.2f" % (reader / decode))
    print("peak memory beyond the input: %s MB = %sx the input"
          % (fields["peak_extra_mb"], fields["peak_extra_ratio"]))
    return 0


if __name__ == "__main__":
    sys.exit(main())
