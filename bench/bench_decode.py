#!/usr/bin/env python3
"""Making a statement's text and walking its lines, on a 100,000-document statement, against CPython's codec.

    python3 bench/bench_decode.py [--documents N] [--runs R] [--build-dir DIR]

Generates the statement in UTF-8 and windows-1251 into bench/data/ if absent, builds the C++ benchmark if
needed (-DQUORLANE_BENCH=ON), runs it on both files and times bytes.decode('cp1251') on the windows-1251
file in the same run.
"""

import argparse
import pathlib
import re
import statistics
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
    binary = build_dir / "bench" / "bench_decode"
    if not binary.exists():
        subprocess.run(["cmake", "-S", str(ROOT), "-B", str(build_dir), "-DCMAKE_BUILD_TYPE=Release",
                        "-DQUORLANE_BENCH=ON", "-DQUORLANE_PYTHON=OFF", "-DQUORLANE_TESTS=OFF"], check=True,
                       stdout=subprocess.DEVNULL)
        subprocess.run(["cmake", "--build", str(build_dir), "-j2", "--target", "bench_decode"], check=True,
                       stdout=subprocess.DEVNULL)
    return binary


def run_cpp(binary, path, runs):
    out = subprocess.run([str(binary), str(path), str(runs)], check=True, capture_output=True, text=True).stdout
    print(out, end="")
    best = float(re.search(r"^best\s+([\d.]+) ms", out, re.M).group(1)) / 1e3
    median = float(re.search(r"^median\s+([\d.]+) ms", out, re.M).group(1)) / 1e3
    return best, median


def time_cpython_decode(path, runs):
    data = path.read_bytes()
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        text = data.decode("cp1251", errors="strict")
        times.append(time.perf_counter() - start)
        del text
    return min(times), statistics.median(times), len(data)


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--documents", type=int, default=100_000)
    parser.add_argument("--runs", type=int, default=10)
    parser.add_argument("--build-dir", type=pathlib.Path, default=ROOT / "build" / "bench")
    args = parser.parse_args(argv)

    utf8 = ensure_statement(args.documents, "utf-8")
    cp1251 = ensure_statement(args.documents, "cp1251")
    binary = ensure_binary(args.build_dir.resolve())

    print("== C++: text + lines, UTF-8")
    u_best, u_median = run_cpp(binary, utf8, args.runs)
    print("== C++: text + lines, windows-1251")
    c_best, c_median = run_cpp(binary, cp1251, args.runs)
    print("== CPython %s: bytes.decode('cp1251') on the windows-1251 file" % sys.version.split()[0])
    p_best, p_median, size = time_cpython_decode(cp1251, args.runs)
    mb = size / 1e6
    print("best   %8.2f ms  %8.1f MB/s" % (p_best * 1e3, mb / p_best))
    print("median %8.2f ms  %8.1f MB/s" % (p_median * 1e3, mb / p_median))

    print("== Summary")
    print("UTF-8 text + lines: %.2f GB/s best, %.2f GB/s median"
          % (utf8.stat().st_size / u_best / 1e9, utf8.stat().st_size / u_median / 1e9))
    print("cp1251 text + lines vs CPython decode alone: %.2fx faster (best), %.2fx (median)"
          % (p_best / c_best, p_median / c_median))
    return 0


if __name__ == "__main__":
    sys.exit(main())
