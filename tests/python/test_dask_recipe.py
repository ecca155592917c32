"""README's Dask recipe, run as it is written, on a LocalCluster with worker processes over the real statements."""

from __future__ import annotations

import re
from pathlib import Path

import pytest

import quorlane

REPO = Path(__file__).resolve().parents[2]
REAL = sorted(str(p) for p in (REPO / "tests" / "data" / "real").glob("*.txt"))


def recipe() -> dict:
    readme = (REPO / "README.md").read_text(encoding="utf-8")
    code = re.search(r"<!-- dask-recipe -->\n```python\n(.*?)```", readme, re.S).group(1)
    names: dict = {"__name__": "recipe"}
    exec(compile(code, "README.md (dask recipe)", "exec"), names)
    return names


@pytest.mark.slow
def test_the_recipe_makes_one_frame_of_every_statement_that_reads():
    pytest.importorskip("dask.distributed")
    pytest.importorskip("dask.dataframe")
    pa = pytest.importorskip("pyarrow")
    pd = pytest.importorskip("pandas")
    import quorlane_py

    frame = recipe()["read_statements"](REAL)
    tables = []
    for path in REAL:
        try:
            tables.append(pa.table(quorlane.read_table(Path(path).read_bytes(), name=path, amount_scale=2)))
        except quorlane_py.ParseError:
            pass
    expected = pa.concat_tables(tables).to_pandas(types_mapper=pd.ArrowDtype)
    assert len(tables) == 10 and len(frame) == len(expected) > 50
    pd.testing.assert_frame_equal(frame.reset_index(drop=True), expected)
