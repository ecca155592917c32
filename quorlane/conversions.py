"""A statement as plain data that JSON, pickle, pandas or a database take as it is."""

from __future__ import annotations

from operator import attrgetter
from typing import Any

import quorlane_py

from ._keys import DOCUMENT_FIELDS, INTERVAL_FIELDS

__all__ = ["to_dict"]

_DOCUMENT_ROW = attrgetter(*DOCUMENT_FIELDS)
_INTERVAL_ROW = attrgetter(*INTERVAL_FIELDS)


def to_dict(statement: quorlane_py.Statement) -> dict[str, Any]:
    """The statement as a JSON-ready dict of str, int, None, lists and dicts.

    {"encoding": str, "header": {key: value}, "accounts": {number: {"number": str, "intervals": [{...}]}},
    "documents": [{field: value}], "warnings": [{"lineno": int, "message": str}]}. Intervals and documents
    carry every attribute of quorlane_py.Interval and quorlane_py.Document under its own name: dates as
    YYYY-MM-DD, amounts as plain decimal strings with their scale, absent values as None.
    """
    return {
        "encoding": statement.encoding,
        "header": dict(statement.header),
        "accounts": {
            number: {"number": account.number,
                     "intervals": [dict(zip(INTERVAL_FIELDS, row)) for row in map(_INTERVAL_ROW, account.intervals)]}
            for number, account in statement.accounts.items()
        },
        "documents": document_rows(statement.documents, dict),
        "warnings": [{"lineno": lineno, "message": message} for lineno, message in statement.warnings],
    }


def document_rows(documents: list[quorlane_py.Document], make: Any = tuple) -> list[Any]:
    """One row per document: `make` applied to (field, value) pairs in DOCUMENT_FIELDS order (dict), or to the
    values alone (tuple, list)."""
    if make is dict:
        return [dict(zip(DOCUMENT_FIELDS, row)) for row in map(_DOCUMENT_ROW, documents)]
    return [make(row) for row in map(_DOCUMENT_ROW, documents)]
