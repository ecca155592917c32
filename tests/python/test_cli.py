"""The quorlane command line, run as a user runs it, on the shipped sample and the real statements."""

from __future__ import annotations

import csv
import io
import json
import os
import pty
import subprocess
import sys
from pathlib import Path

import quorlane
import quorlane_py
from quorlane._keys import DOCUMENT_FIELDS
from quorlane.cli.reading import sample_bytes

from conftest import OUTSIDE_SOURCE

REAL = Path(__file__).resolve().parents[1] / "data" / "real"
# The real statements that do not read, and the line each gets.
FAILING = {
    "dronm__clbnk__to_bank.txt": ":10: Unrecognized line: 'СекцияДокумент'",
    "odoo-ru__client-bank-1c__1c_to_kl-win-min-example.txt": ":3: Unexpected section 'КонецФайла' in context 'header'",
    "open-condo-software__condo__1CClientBankExchange-Invalid.txt": ": Statement is not finished",
    "zharikovpro__client_bank_exchange__general.txt": ": Statement is not finished",
    "zharikovpro__client_bank_exchange__remainings.txt": ": Statement is not finished",
    "zharikovpro__client_bank_exchange__wrong_format.txt": ": Input is not a 1C statement",
}


def run(*args: object, stdin: bytes | None = None) -> subprocess.CompletedProcess[bytes]:
    env = dict(os.environ, PYTHONIOENCODING="utf-8")
    return subprocess.run([sys.executable, "-m", "quorlane", *map(str, args)], input=stdin, env=env,
                          capture_output=True, timeout=120, cwd=OUTSIDE_SOURCE)


def test_show_without_a_file_shows_the_sample():
    result = run("show")
    assert result.returncode == 0, result.stderr
    out = result.stdout.decode("utf-8")
    for piece in ["Encoding: cp1251", "Accounts (2):", "  40702810438000123456", "Documents (3):",
                  "2024-03-05  94      Платежное поручение  96000.00", "Warnings (1):",
                  'line 118: invalid value: string "2 500,00", expected a Decimal type']:
        assert piece in out


def test_failures_are_one_line_with_the_line_number(tmp_path):
    bad = tmp_path / "bad.txt"
    bad.write_bytes("1CClientBankExchange\nА=1\nмусор\n".encode("cp1251"))
    result = run("show", bad)
    assert (result.returncode, result.stdout) == (1, b"")
    assert result.stderr.decode() == f"{bad}:3: Unrecognized line: 'мусор'\n"
    assert run("json", tmp_path / "missing.txt").stderr.decode() == f"{tmp_path / 'missing.txt'}: No such file or directory\n"


def test_json_and_csv_hold_the_whole_statement():
    path = REAL / "kilylabs__client-bank-exchange-php__one_day.txt"
    read = quorlane_py.parse(path.read_bytes())
    for result in (run("json", path), run("json", "-", stdin=path.read_bytes())):
        assert result.returncode == 0, result.stderr
        assert json.loads(result.stdout) == quorlane.to_dict(read)
    data = quorlane.to_dict(read)
    assert data["documents"] == [{f: getattr(d, f) for f in DOCUMENT_FIELDS} for d in read.documents]
    assert data["accounts"] == {n: {"number": a.number, "intervals": [
        {f: getattr(i, f) for f in ("date_start", "date_end", "start_amount", "end_amount", "total_income",
                                    "total_expense")} for i in a.intervals]} for n, a in read.accounts.items()}
    sample = quorlane_py.parse(sample_bytes())
    assert quorlane.to_dict(sample)["warnings"] == [{"lineno": n, "message": m} for n, m in sample.warnings] != []

    result = run("csv", path)
    assert result.returncode == 0, result.stderr
    rows = list(csv.reader(io.StringIO(result.stdout.decode("utf-8"))))
    assert rows[0][:4] == ["doc_number", "doc_type", "doc_date", "amount"] and len(rows[0]) == 26
    assert rows[1:] == [[v or "" for v in d.values()] for d in data["documents"]]


def test_check_reads_folders_and_reports_each_bad_file(tmp_path):
    result = run("check", REAL)
    assert result.returncode == 1
    lines = result.stdout.decode("utf-8").splitlines()
    assert lines[:-1] == [f"{REAL / name}{tail}" for name, tail in sorted(FAILING.items())]
    assert lines[-1] == "16 files: 10 read (59 documents, 0 warnings), 6 failed"
    assert result.stderr == b""  # no progress bar when not on a terminal

    # On a terminal a progress bar is drawn on stderr, and cleared before each line and at the end.
    main, terminal = pty.openpty()
    env = dict(os.environ, PYTHONIOENCODING="utf-8")
    subprocess.run([sys.executable, "-m", "quorlane", "check", REAL], stdout=subprocess.DEVNULL, stderr=terminal,
                   env=env, timeout=120, cwd=OUTSIDE_SOURCE)
    os.close(terminal)
    drawn = os.read(main, 1 << 16).decode()
    os.close(main)
    assert "] 16/16" in drawn and drawn.endswith("\r\x1b[K")

    good = sorted(set(REAL.glob("*.txt")) - {REAL / name for name in FAILING})
    result = run("check", *good, "--jobs", "2")
    assert (result.returncode, result.stdout.decode().splitlines()[-1]) == (0, "10 files: 10 read (59 documents, "
                                                                                "0 warnings), 0 failed")


def test_convert_writes_what_reads_back_equal(tmp_path):
    for name in ["kilylabs__client-bank-exchange-php__one_day.txt", "Unact__client_bank_exchange2__test.txt"]:
        source = quorlane_py.parse((REAL / name).read_bytes())
        for encoding in ("utf-8", "cp1251"):
            out = tmp_path / f"{encoding}.txt"
            result = run("convert", REAL / name, out, "--encoding", encoding)
            assert result.returncode == 0, result.stderr
            back = quorlane_py.parse(out.read_bytes())
            assert (back.encoding, back.header, back.documents) == (encoding, source.header, source.documents)
            assert list(back.accounts.items()) == list(source.accounts.items())


def test_usage_and_help():
    assert run().returncode == 2
    assert run("convert", "only-one").returncode == 2
    result = run("--help")
    assert result.returncode == 0 and b"examples:" in result.stdout and b"quorlane check" in result.stdout
