"""The Dask and Spark recipes of the tables guide, run as the page shows them (the script saved under its title, the
commands run in a shell) over the real statements: the Parquet they write holds the rows and values of
read_table, decimals and dates kept. Slow (a cluster or a JVM starts): `pytest -m slow`."""

from __future__ import annotations

import os
import shutil
import subprocess
import sys
from pathlib import Path

import pytest

import quorlane
import quorlane_py
from markdown_examples import REPO, SHELL_PRELUDE, blocks, commands, working_folder

PAGE = REPO / "docs" / "tables.md"

pytestmark = pytest.mark.slow


def run_recipe(name: str, folder: Path, env: dict[str, str]) -> None:
    """Saves the recipe's scripts under their titles and runs its commands, in order, in `folder`."""
    recipe = [block for block in blocks(PAGE) if block.marker == "recipe" and block.marker_text == name]
    assert [block.language for block in recipe] == ["python", "console"], f"recipe {name}: a script, then commands"
    script, shell = recipe
    assert script.title, f"{script.where}: the script's file name is its title"
    (folder / script.title).write_bytes(script.code.encode("utf-8"))
    for command in commands(shell):
        done = subprocess.run(["bash", "-c", SHELL_PRELUDE + command.command], cwd=folder, env=env, timeout=900,
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        assert done.returncode == 0, f"$ {command.command}\n{done.stdout.decode('utf-8', 'replace')[-5000:]}"


def recipe_env(**more: str) -> dict[str, str]:
    scripts = str(Path(sys.executable).parent)  # spark-submit, installed beside the interpreter
    return dict(os.environ, EXAMPLE_PYTHON=sys.executable, PATH=scripts + os.pathsep + os.environ["PATH"], **more)


def assert_the_rows_of_read_table(dataset: Path, statements: Path) -> None:
    pa = pytest.importorskip("pyarrow")
    import pyarrow.parquet as pq

    expected = []
    for path in sorted(statements.glob("*.txt")):
        try:
            expected.append(pa.table(quorlane.read_table(path.read_bytes(), name=path.name, amount_scale=2)))
        except quorlane_py.ParseError:
            pass
    want = pa.concat_tables(expected)
    got = pq.read_table(dataset)
    assert got.column_names == want.column_names
    assert [field.type for field in got.schema] == [field.type for field in want.schema]
    assert got.schema.field("amount").type == pa.decimal128(38, 2) and got.schema.field("doc_date").type == pa.date32()
    rows = got.to_pylist()
    for row in rows:  # a recipe names a file by the path it was given
        row["file"] = Path(row["file"]).name
    order = lambda row: (row["file"], row["lineno"])  # noqa: E731
    assert len(expected) == 10 and len(rows) > 50
    assert sorted(rows, key=order) == sorted(want.to_pylist(), key=order)


def test_the_dask_recipe(tmp_path: Path) -> None:
    pytest.importorskip("dask.distributed")
    pytest.importorskip("dask.dataframe")
    pytest.importorskip("pandas")
    folder = working_folder(tmp_path)
    run_recipe("dask", folder, recipe_env())
    assert_the_rows_of_read_table(folder / "documents.parquet", folder / "statements")


def test_the_spark_recipe(tmp_path: Path) -> None:
    pytest.importorskip("pyspark")
    if shutil.which("java") is None:
        pytest.skip("Spark needs a Java runtime (Debian: openjdk-17-jre-headless)")
    folder = working_folder(tmp_path / "work")
    # Spark in local mode on this machine alone: no web UI, its address the loopback one.
    conf = tmp_path / "spark-conf"
    conf.mkdir()
    (conf / "spark-defaults.conf").write_bytes(b"spark.ui.enabled false\n")
    run_recipe("spark", folder, recipe_env(PYSPARK_PYTHON=sys.executable, PYSPARK_DRIVER_PYTHON=sys.executable,
                                           SPARK_CONF_DIR=str(conf), SPARK_LOCAL_IP="127.0.0.1"))
    assert_the_rows_of_read_table(folder / "documents.parquet", folder / "statements")
