"""A statement as plain data that JSON, pickle, pandas or a database take as it is."""

from __future__ import annotations

from collections.abc import Iterable, Sequence
from operator import attrgetter
from typing import Any, Optional, Union

import quorlane_py

from . import _accel
from ._keys import DOCUMENT_FIELDS, HEADER_DATE_KEYS, INTERVAL_FIELDS
from .sections import Section, SectionReading

__all__ = ["to_dict"]

_DOCUMENT_ROW = attrgetter(*DOCUMENT_FIELDS)
_INTERVAL_ROW = attrgetter(*INTERVAL_FIELDS)


def to_dict(statement: Union[quorlane_py.Statement, SectionReading]) -> dict[str, Any]:
    """The statement as a JSON-ready dict of str, int, None, lists and dicts.

    {"encoding": str, "header": {key: value}, "accounts": {number: {"number": str, "intervals": [{...}]}},
    "documents": [{field: value}], "warnings": [{"lineno": int, "message": str, "key": str, "value": str}]}.
    Intervals and documents carry every attribute of quorlane_py.Interval and quorlane_py.Document under its own
    name. A warning's "key" and "value" are the field that dropped the document, as a DroppedDocument of the
    package's readings names it ("value" None where the key is missing; both None for quorlane_py.parse's own
    (lineno, message) pairs, which do not name them). Dates are
    YYYY-MM-DD everywhere: in the header too (ДатаСоздания, ДатаНачала, ДатаКонца; a value that is no date stays
    as written). Amounts are plain decimal strings with their scale, absent values None.

    Given what quorlane.read_sections returns, the dict also holds every key as written: "header_section" and
    "account_sections" (in file order), a "section" in each document and in each warning (the document it
    dropped), each as section_dict gives it.
    """
    if isinstance(statement, SectionReading):
        documents = document_dicts(statement.statement.documents, statement.documents)
        return statement_dict(statement.statement, documents, statement.sections)
    return statement_dict(statement, document_rows(statement.documents, dict))


def statement_dict(statement: quorlane_py.Statement, documents: list[dict[str, Any]],
                   sections: Optional[Sequence[Section]] = None) -> dict[str, Any]:
    """to_dict's dict of the statement with the documents given (made by document_dicts, or document_rows with
    dict) in place of its own, which the command line writes a batch at a time. With `sections` (in file order: at
    least the header's, the accounts' and those of the documents that became warnings), the sections of a
    SectionReading: "header_section", "account_sections" and each warning's "section"."""
    result: dict[str, Any] = {
        "encoding": statement.encoding,
        "header": header_dict(statement.header),
        "accounts": {
            number: {"number": account.number,
                     "intervals": [dict(zip(INTERVAL_FIELDS, row)) for row in map(_INTERVAL_ROW, account.intervals)]}
            for number, account in statement.accounts.items()
        },
        "documents": documents,
        "warnings": [{"lineno": w[0], "message": w[1], "key": getattr(w, "key", None),
                      "value": getattr(w, "value", None)} for w in statement.warnings],
    }
    if sections is not None:
        result["header_section"] = section_dict(sections[0])
        result["account_sections"] = [section_dict(s) for s in sections if s.kind == "account"]
        dropped = {s.end_line: s for s in sections if s.kind == "document"}
        for warning in result["warnings"]:
            warning["section"] = section_dict(dropped[warning["lineno"]])
    return result


def header_dict(header: dict[str, str]) -> dict[str, str]:
    """The header, its dates as YYYY-MM-DD where they read as dates."""
    result = dict(header)
    for key in HEADER_DATE_KEYS:
        value = result.get(key)
        if value is not None:
            result[key] = _accel.iso_date(value) or value
    return result


def section_dict(section: Section) -> dict[str, Any]:
    """A section as written: {"kind", "doc_type", "start_line", "end_line", "keys": {key: value}, "repeated":
    {key: [value, ...]}}. "keys" holds every key of the section in the order of its first line, with the value the
    reader keeps (the last); "repeated" every value, in file order, of each key written more than once (usually
    none)."""
    pairs = section.attributes
    keys = dict(pairs)
    repeated: dict[str, list[str]] = {}
    if len(keys) != len(pairs):
        for key, value in pairs:
            repeated.setdefault(key, []).append(value)
        repeated = {key: values for key, values in repeated.items() if len(values) > 1}
    return {"kind": section.kind, "doc_type": section.doc_type, "start_line": section.start_line,
            "end_line": section.end_line, "keys": keys, "repeated": repeated}


def document_dicts(documents: list[quorlane_py.Document], sections: Iterable[Section]) -> list[dict[str, Any]]:
    """document_rows with dict, each with its "section" (section_dict) from `sections`, one for each document."""
    rows = document_rows(documents, dict)
    for row, section in zip(rows, sections):
        row["section"] = section_dict(section)
    return rows


def document_rows(documents: list[quorlane_py.Document], make: Any = tuple) -> list[Any]:
    """One row per document: `make` applied to (field, value) pairs in DOCUMENT_FIELDS order (dict), or to the
    values alone (tuple, list)."""
    if make is dict:
        return [dict(zip(DOCUMENT_FIELDS, row)) for row in map(_DOCUMENT_ROW, documents)]
    return [make(row) for row in map(_DOCUMENT_ROW, documents)]
