"""`quorlane parquet`: the documents of every statement that reads, as one dataset; the others listed as `check`
lists them."""

from __future__ import annotations

import os
import re
import subprocess
import sys
from pathlib import Path

import pytest

import quorlane
from quorlane.cli import main, parquet
from conftest import account, document, statement

REAL = Path(__file__).resolve().parents[1] / "data" / "real"


def run(*args: object, cwd: Path) -> subprocess.CompletedProcess[str]:
    # Not from the repository's folder, where the package's sources would shadow the installed package.
    env = dict(os.environ, PYTHONIOENCODING="utf-8")
    return subprocess.run([sys.executable, "-m", "quorlane", *map(str, args)], env=env, capture_output=True,
                          text=True, encoding="utf-8", timeout=120, cwd=cwd)


@pytest.mark.slow
def test_the_dataset_holds_every_statement_that_reads(tmp_path):
    pa = pytest.importorskip("pyarrow")
    ds = pytest.importorskip("pyarrow.dataset")
    # A file named twice (the folder and the file in it) is read once.
    twice = (REAL, REAL / "kilylabs__client-bank-exchange-php__one_day.txt")
    result = run("parquet", *twice, "-o", tmp_path / "out", "--jobs", 2, cwd=tmp_path)
    checked = run("check", *twice, cwd=tmp_path)
    assert result.returncode == 1 == checked.returncode and result.stderr == ""
    assert result.stdout.splitlines()[:-1] == checked.stdout.splitlines()[:-1]  # the same failures, in order
    summary = result.stdout.splitlines()[-1]
    assert summary.startswith("16 files: 10 read, 6 failed; 59 documents") and summary.endswith(f"written to {tmp_path / 'out'}")
    failed = {re.match(r"(.+?)(:\d+)?: ", line).group(1) for line in result.stdout.splitlines()[:-1]}  # C:\... too
    readable = sorted(str(p) for p in REAL.glob("*.txt") if str(p) not in failed)
    written = ds.dataset(tmp_path / "out").to_table().sort_by([("file", "ascending"), ("lineno", "ascending")])
    expected = pa.concat_tables([pa.table(quorlane.read_table(Path(p).read_bytes(), name=p)) for p in readable])
    assert written.equals(expected.cast(written.schema))


def test_parts_and_failures_in_process(tmp_path, monkeypatch, capsys):
    pytest.importorskip("pyarrow")
    pq = pytest.importorskip("pyarrow.parquet")
    good = statement(account(), document())
    for n in range(5):
        (tmp_path / f"s{n}.txt").write_bytes(good.replace("Номер=125", f"Номер={n}").encode("utf-8"))
    (tmp_path / "fine.txt").write_bytes(good.replace("Сумма=12000.00", "Сумма=1.125").encode("utf-8"))
    monkeypatch.setattr(parquet, "PART_FILES", 2)
    assert main(["parquet", str(tmp_path), "-o", str(tmp_path / "out"), "--jobs", "2"]) == 1
    out = capsys.readouterr().out.splitlines()
    line = good.split("\n").index("Сумма=12000.00") + 1
    assert out[0] == f"{tmp_path / 'fine.txt'}:{line}: amount 1.125 has more fractional digits than the scale 2 of " \
                     "its column"
    parts = sorted((tmp_path / "out").iterdir())  # fine.txt and s0.txt, s1 and s2, s3 and s4
    assert [pq.read_table(p).column("doc_number").to_pylist() for p in parts] == [["0"], ["1", "2"], ["3", "4"]]
    assert [p.name for p in parts] == ["part-00000.parquet", "part-00001.parquet", "part-00002.parquet"]
    assert main(["parquet", str(tmp_path / "fine.txt"), "-o", str(tmp_path / "out3"), "--amount-scale", "3"]) == 0
    assert main(["parquet", str(tmp_path), "-o", str(tmp_path / "out")]) == 1  # not empty: refused
    assert capsys.readouterr().err.strip().endswith("out: the folder is not empty")
    # A dropped document is a warning line; --strict makes it a failure, the dataset written all the same.
    (tmp_path / "warned.txt").write_bytes(statement(account(), document({"Дата": ""})).encode("utf-8"))
    assert main(["parquet", str(tmp_path / "warned.txt"), "-o", str(tmp_path / "out4"), "--strict"]) == 1
    out = capsys.readouterr().out.splitlines()
    assert out[0].endswith('warning: empty string is not a valid date (Дата="")') and "(failures under --strict)" in out[1]
    assert (tmp_path / "out4").is_dir()


def test_without_pyarrow_it_says_what_to_install(tmp_path):
    code = "import sys; sys.modules['pyarrow'] = None; from quorlane.cli import main; sys.exit(main(sys.argv[1:]))"
    result = subprocess.run([sys.executable, "-c", code, "parquet", str(REAL), "-o", str(tmp_path / "out")],
                            capture_output=True, text=True, encoding="utf-8", timeout=60, cwd=tmp_path)
    assert (result.returncode, result.stderr) == (1, "quorlane parquet needs pyarrow: pip install 'quorlane[arrow]'\n")
