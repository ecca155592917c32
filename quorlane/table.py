"""A statement as Arrow tables, for pyarrow, pandas, Polars, DuckDB and engines that span many machines.

The columns are built by the reader's core straight from its records (no Python object per value) and handed out
through the Arrow PyCapsule interface, so that `pyarrow.table(t)`, `polars.DataFrame(t)` or DuckDB take them
without a copy and without any library of ours."""

from __future__ import annotations

from typing import Iterable, Optional, Tuple, Union

from . import _accel
from ._accel import StatementTable
from .statement_reading import package_reading

__all__ = ["StatementTable", "empty_table", "read_table"]

# The most bytes of text one column of one record batch holds: its offsets are 32-bit. A larger statement gives
# several batches.
_BATCH_BYTES = 2**31 - 1

Keys = Union[bool, Iterable[str], None]

# StatementTable: the documents of a statement as an Arrow table (one row per document of quorlane_py.parse, in
# the same order), with `intervals`, its accounts' intervals as a second table, `warnings`, the (lineno, message)
# pairs of the documents the reader dropped (DroppedDocument, with the key and value that dropped each), and
# `encoding`, "utf-8", "cp1251" or "cp866". `documents` and `intervals` are
# quorlane._accel.Table objects; the StatementTable and both tables give their rows through
# `__arrow_c_stream__`; len() is the number of documents, `column_names` the documents' columns.


def read_table(statement: Union[bytes, str], *, name: Optional[str] = None, extra_keys: Keys = None,
               amount_scale: Optional[int] = None) -> StatementTable:
    """Reads a statement (bytes or str) into Arrow tables.

    The documents table has a column "file" holding `name` (only when a name is given), "account" (the
    statement's account the document belongs to), "lineno" (the document section's closing line, as warnings
    count lines), then one column for each field of quorlane_py.Document, in the reader's field order: texts as
    Arrow strings (codes such as BIC, INN and account numbers stay text), dates as date32, amounts as
    decimal128(38, scale). `extra_keys` adds a text column (null where a document lacks the key) for each key
    given, or with True for every key outside the fields that a document has, holding the last value written. The
    column is named by the key, or by "key:" and the key where the key is named like one of the table's own
    columns ("amount", "file", "account", "lineno", ...) or begins with "key:", as `csv --all-keys` names them
    too. `amount_scale` fixes the amount columns' scale; by default it is the finest written, at least 2.

    The statement is read once, as the package reads (a byte order mark read past, a declared cp866 read as
    such). Raises the exceptions quorlane_py.parse raises for the same statement (with their `diagnosis`), and
    TableError for a value that no column can hold as it is, placed where the value starts."""
    keys, scale = _keys(extra_keys), _scale(amount_scale)
    with package_reading(statement):
        return _accel.read_table(statement, _name(name), keys, scale, _BATCH_BYTES)


def empty_table(*, name: Optional[str] = None, extra_keys: Optional[Iterable[str]] = None,
                amount_scale: int = 2) -> StatementTable:
    """A table of no rows whose columns are those read_table gives with the same arguments: the schema, for engines
    that want one up front (a Dask frame's meta, Spark's mapInArrow)."""
    if extra_keys is True:
        raise TypeError("extra_keys=True takes its columns from a statement: name the keys")
    return _accel.read_table(None, _name(name), _keys(extra_keys), _scale(amount_scale), _BATCH_BYTES)


def _name(name: Optional[str]) -> Optional[str]:
    if name is not None and not isinstance(name, str):
        raise TypeError(f"name must be a str or None, not {type(name).__name__}")
    return name


def _keys(extra_keys: Keys) -> Union[bool, Tuple[str, ...], None]:
    if extra_keys is None or extra_keys is False:
        return None
    if extra_keys is True:
        return True
    if isinstance(extra_keys, (str, bytes)):
        raise TypeError("extra_keys must be True or an iterable of keys, not one key")
    keys = tuple(extra_keys)
    for key in keys:
        if not isinstance(key, str):
            raise TypeError(f"a key must be a str, not {type(key).__name__}")
    for index, key in enumerate(keys):
        if key in keys[:index]:
            raise ValueError(f"the key {key!r} is given twice")
    return keys or None


def _scale(amount_scale: Optional[int]) -> Optional[int]:
    if amount_scale is None:
        return None
    if isinstance(amount_scale, bool) or not isinstance(amount_scale, int):
        raise TypeError(f"amount_scale must be an int or None, not {type(amount_scale).__name__}")
    if not 0 <= amount_scale <= 38:
        raise ValueError("amount_scale must be from 0 to 38")
    return amount_scale
