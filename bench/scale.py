#!/usr/bin/env python3
"""Parses very large statements, each in a fresh interpreter, and prints the time and peak memory of each.

    python3 bench/scale.py [--only NAME ...] [--keep] [--no-gigabyte]

Cases:
  million-documents  one account and 1,000,000 small documents (about 300 MB), read as bytes
  long-line          one document whose purpose is a single 50 MB line
  long-bad-line      a 50 MB line that is neither a marker nor key=value: a SyntaxError naming it
  gigabyte           a 1 GB statement (10,000 documents of about 100 KB each) read as bytes; skipped when the
                     machine has less than 16 GB available; its file is deleted afterwards unless --keep
  gigabyte-small     a 1 GB statement of about 3 million small documents, read as bytes (same conditions)

Inputs are written to bench/data/ (not tracked). Peak memory is the child's ru_maxrss, which includes the input
itself as a bytes object. The module is the one the interpreter finds (installed, or through PYTHONPATH).
"""

from __future__ import annotations

import argparse
import json
import subprocess
import sys
import time
from pathlib import Path

DATA = Path(__file__).resolve().parent / "data"
MIB = 1024 * 1024

HEADER = (
    "1CClientBankExchange\r\nВерсияФормата=1.03\r\nКодировка=Windows\r\nОтправитель=Бухгалтерия\r\n"
    "ДатаСоздания=07.03.2024\r\nДатаНачала=01.03.2024\r\nДатаКонца=07.03.2024\r\nРасчСчет=40702810900000012345\r\n"
    "СекцияРасчСчет\r\nДатаНачала=01.03.2024\r\nДатаКонца=07.03.2024\r\nРасчСчет=40702810900000012345\r\n"
    "НачальныйОстаток=100.00\r\nВсегоПоступило=0\r\nВсегоСписано=0\r\nКонечныйОстаток=100.00\r\nКонецРасчСчет\r\n"
)
FOOTER = "КонецФайла\r\n"


def document(number: int, purpose: str) -> str:
    return (
        "СекцияДокумент=Платежное поручение\r\n"
        f"Номер={number}\r\nДата=05.03.2024\r\nСумма={number % 100000}.{number % 100:02}\r\n"
        "ПлательщикСчет=40702810900000012345\r\nПлательщикИНН=7701234567\r\nПлательщикБИК=044525225\r\n"
        "ПлательщикБанк1=ПАО СБЕРБАНК\r\nПолучательСчет=40702810500000054321\r\nПолучательИНН=7709876543\r\n"
        "ПолучательБИК=044525593\r\nПолучательБанк1=АО АЛЬФА-БАНК\r\n"
        f"НазначениеПлатежа={purpose}\r\nКонецДокумента\r\n"
    )


def write(path: Path, encoding: str, parts) -> None:
    tmp = path.with_suffix(".tmp")
    with open(tmp, "wb") as f:
        for part in parts:
            f.write(part.encode(encoding))
    tmp.replace(path)


def gen_million(path: Path) -> None:
    def parts():
        yield HEADER
        for i in range(1_000_000):
            yield document(i, f"Оплата {i}")
        yield FOOTER

    write(path, "cp1251", parts())


def gen_long_line(path: Path) -> None:
    chunk = "Оплата по счёту № 17, в том числе НДС. "
    purpose = (chunk * (50 * MIB // len(chunk.encode("utf-8")) + 1))
    write(path, "utf-8", [HEADER, document(1, purpose), FOOTER])


def gen_long_bad_line(path: Path) -> None:
    write(path, "utf-8", [HEADER, "x" * (50 * MIB) + "\r\n", FOOTER])


def gen_gigabyte(path: Path) -> None:
    chunk = "Оплата по договору № 12 за материалы; "  # Cyrillic, so the UTF-8 text is about 1.8 bytes a character
    purpose = chunk * (100_000 // len(chunk.encode("cp1251")))
    per_doc = len(document(0, purpose).encode("cp1251"))
    count = (1024 * MIB) // per_doc + 1

    def parts():
        yield HEADER
        for i in range(count):
            yield document(i, purpose)
        yield FOOTER

    write(path, "cp1251", parts())


def gen_gigabyte_small(path: Path) -> None:
    per_doc = len(document(500_000, "Оплата 500000").encode("cp1251"))
    count = (1024 * MIB) // per_doc + 1

    def parts():
        yield HEADER
        for i in range(count):
            yield document(i, f"Оплата {i}")
        yield FOOTER

    write(path, "cp1251", parts())


# name: (file, generator, expected outcome: "ok" with the document count, or the exception's class name)
CASES = {
    "million-documents": ("million.txt", gen_million, ("ok", 1_000_000)),
    "long-line": ("long_line.txt", gen_long_line, ("ok", 1)),
    "long-bad-line": ("long_bad_line.txt", gen_long_bad_line, ("SyntaxError", "UnrecognizedLine")),
    "gigabyte": ("gigabyte.txt", gen_gigabyte, ("ok", None)),
    "gigabyte-small": ("gigabyte_small.txt", gen_gigabyte_small, ("ok", None)),
}
HUGE = ("gigabyte", "gigabyte-small")

CHILD = r"""
import json, resource, sys, time
import quorlane_py
path = sys.argv[1]
with open(path, "rb") as f:
    data = f.read()
start = time.perf_counter()
try:
    st = quorlane_py.parse(data)
    outcome = ["ok", len(st.documents), len(st.warnings)]
except quorlane_py.SyntaxError as exc:
    outcome = ["SyntaxError", type(exc.detail).__name__, exc.detail.lineno]
except Exception as exc:
    outcome = [type(exc).__name__, str(exc)[:200], None]
elapsed = time.perf_counter() - start
print(json.dumps({"bytes": len(data), "seconds": elapsed, "outcome": outcome,
                  "maxrss_kib": resource.getrusage(resource.RUSAGE_SELF).ru_maxrss}))
"""


def available_gib() -> float:
    with open("/proc/meminfo") as f:
        for line in f:
            if line.startswith("MemAvailable:"):
                return int(line.split()[1]) / 1024 / 1024
    return 0.0


def run_case(name: str, keep: bool) -> dict:
    filename, generate, expected = CASES[name]
    path = DATA / filename
    DATA.mkdir(exist_ok=True)
    if not path.exists():
        t0 = time.perf_counter()
        generate(path)
        print(f"  wrote {path.name}: {path.stat().st_size / MIB:.1f} MiB in {time.perf_counter() - t0:.1f} s",
              flush=True)
    try:
        t0 = time.perf_counter()
        proc = subprocess.run([sys.executable, "-c", CHILD, str(path)], capture_output=True, text=True)
        wall = time.perf_counter() - t0
    finally:
        if name in HUGE and not keep:
            path.unlink(missing_ok=True)
    if proc.returncode != 0:
        return {"name": name, "status": f"crashed (exit {proc.returncode})", "stderr": proc.stderr[-2000:]}
    report = json.loads(proc.stdout.strip().splitlines()[-1])
    outcome = report["outcome"]
    if expected[0] == "ok":
        as_expected = outcome[0] == "ok" and (expected[1] is None or outcome[1] == expected[1])
    else:
        as_expected = outcome[:2] == list(expected)
    report.update(name=name, wall=wall, status="as expected" if as_expected else f"UNEXPECTED, wanted {expected}")
    return report


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--only", nargs="+", choices=list(CASES))
    parser.add_argument("--keep", action="store_true", help="keep the 1 GB inputs")
    parser.add_argument("--no-gigabyte", action="store_true")
    args = parser.parse_args()
    names = args.only or list(CASES)
    failed = False
    print(f"{'case':<18} {'input MiB':>10} {'parse s':>9} {'peak RSS MiB':>13}  outcome")
    for name in names:
        if name in HUGE and (args.no_gigabyte or available_gib() < 16):
            print(f"{name:<18} skipped ({available_gib():.1f} GiB available)")
            continue
        r = run_case(name, args.keep)
        if "bytes" not in r:
            print(f"{name:<18} {r['status']}\n{r['stderr']}")
            failed = True
            continue
        print(f"{name:<18} {r['bytes'] / MIB:>10.1f} {r['seconds']:>9.2f} {r['maxrss_kib'] / 1024:>13.0f}  "
              f"{r['outcome']} {r['status']}", flush=True)
        failed |= not r["status"].startswith("as expected")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
