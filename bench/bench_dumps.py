#!/usr/bin/env python3
"""Time of quorlane.dumps against bytes.decode() of its own output.

For the 100,000-document statement (read from UTF-8 and from windows-1251 bytes, written back in its own
encoding) it prints the time of quorlane.dumps next to the time of decoding the bytes it wrote, in the same
process, and their ratio (target: dumps <= 4x decode). For reference it also prints the time of the writer's
Python path (the one used without the accelerator, and to name a problem), and of a plain loop that only reads
every attribute of every document. Each case runs in fresh subprocesses that alternate the timed calls and keep
the best of each; the process with the median ratio is shown, next to the ratios of all processes.

The statements come from gen_statement.py and are kept under bench/data/ (git-ignored).
Usage: bench_dumps.py [--documents N] [--repeat R] [--processes P]
"""

from __future__ import annotations

import argparse
import json
import subprocess
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from bench_parse import best_time, statement_file  # noqa: E402  (the same cached statements and timing)


def child(encoding: str, path: str, repeat: int) -> None:
    import quorlane
    import quorlane_py
    from quorlane import _accel, _keys, statement_writer

    statement = quorlane_py.parse(Path(path).read_bytes())
    data = quorlane.dumps(statement)
    assert quorlane_py.parse(data).documents == statement.documents
    dumps_time = decode_time = float("inf")
    for _ in range(repeat):  # alternated, so that a change of the machine's speed weighs on both alike
        dumps_time = min(dumps_time, best_time(lambda: quorlane.dumps(statement), 1))
        decode_time = min(decode_time, best_time(lambda: data.decode(encoding), 1))

    def not_rendered(*_: object) -> None:  # what the fast writer says of a value it leaves to the Python path
        raise _accel.NotRendered()

    accelerator, statement_writer._render_documents = statement_writer._render_documents, not_rendered
    python_time = best_time(lambda: quorlane.dumps(statement), max(1, repeat // 2))
    statement_writer._render_documents = accelerator
    names = _keys.DOCUMENT_FIELDS

    def read_attributes() -> None:
        for document in statement.documents:
            for name in names:
                getattr(document, name)

    attributes_time = best_time(read_attributes, max(1, repeat // 2))
    print(json.dumps({"output": len(data), "dumps": dumps_time, "decode": decode_time, "python": python_time,
                      "attributes": attributes_time}))


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--documents", type=int, default=100_000)
    parser.add_argument("--repeat", type=int, default=5)
    parser.add_argument("--processes", type=int, default=3)
    parser.add_argument("--child", nargs=2, metavar=("ENCODING", "PATH"), help=argparse.SUPPRESS)
    args = parser.parse_args()
    if args.child:
        child(args.child[0], args.child[1], args.repeat)
        return

    print(f"{args.documents} documents, best of {args.repeat} runs in each of {args.processes} processes"
          " (the median process shown; times relative to decode in brackets)")
    print(f"{'encoding':<10}{'output MB':>10}{'decode ms':>11}{'dumps ms':>10}{'ratio':>7}{'ratio per process':>20}"
          f"{'python path ms':>20}{'attribute loop ms':>22}")
    for encoding in ("utf-8", "cp1251"):
        path = statement_file(args.documents, encoding)
        runs = []
        for _ in range(args.processes):
            out = subprocess.run([sys.executable, __file__, "--child", encoding, str(path), "--repeat",
                                  str(args.repeat)], check=True, capture_output=True, text=True).stdout
            runs.append(json.loads(out))
        runs.sort(key=lambda r: r["dumps"] / r["decode"])
        m = runs[len(runs) // 2]
        spread = " ".join(f"{r['dumps'] / r['decode']:.2f}" for r in runs)
        python = f"{m['python'] * 1e3:.0f} ({m['python'] / m['decode']:.1f}x)"
        attributes = f"{m['attributes'] * 1e3:.0f} ({m['attributes'] / m['decode']:.1f}x)"
        print(f"{encoding:<10}{m['output'] / 2**20:>10.1f}{m['decode'] * 1e3:>11.1f}{m['dumps'] * 1e3:>10.1f}"
              f"{m['dumps'] / m['decode']:>7.2f}{spread:>20}{python:>20}{attributes:>22}")
    print("target: ratio <= 4")


if __name__ == "__main__":
    main()
