"""`quorlane json` and `quorlane csv`: a statement for other programs, UTF-8 whatever the terminal's encoding."""

from __future__ import annotations

import csv
import io
import json
import sys
from collections.abc import Iterable
from typing import Any, Union

import quorlane_py

from .. import _keys
from ..conversions import document_rows, section_dict, to_dict
from ..sections import Section, SectionReading, read_sections
from .reading import failure, parse, read_bytes
from .streams import write_bytes

# Rows of JSON lines and CSV go out in batches: one write per row would cost more than making the row.
_BATCH = 2048


def read(path: str, every_key: bool) -> Union[quorlane_py.Statement, SectionReading]:
    """The statement, with every section as written when `every_key` asks for it."""
    data = read_bytes(path)
    if not every_key:
        return parse(path, data)
    try:
        return read_sections(data)
    except quorlane_py.ParseError as error:
        raise failure(path, error) from None


def _statement(source: Union[quorlane_py.Statement, SectionReading]) -> quorlane_py.Statement:
    return source.statement if isinstance(source, SectionReading) else source


def report_warnings(path: str, statement: quorlane_py.Statement) -> None:
    """The documents the reader dropped, on stderr, for outputs that hold the documents alone."""
    for lineno, message in statement.warnings:
        print(f"{path}:{lineno}: warning: {message}", file=sys.stderr)


def write_json(path: str, every_key: bool, lines: bool, indent: int | None) -> None:
    source = read(path, every_key)
    # One call of the C encoder over the whole value; an indent makes json use its pure Python encoder.
    encoder = json.JSONEncoder(ensure_ascii=False, indent=indent,
                               separators=(",", ": ") if indent is not None else (",", ":"))
    if not lines:
        write_bytes(encoder.encode(to_dict(source)).encode("utf-8") + b"\n")
        return
    statement = _statement(source)
    documents = document_rows(statement.documents, dict)
    if isinstance(source, SectionReading):
        for document, section in zip(documents, source.documents):
            document["section"] = section_dict(section)
    encode = encoder.encode
    for start in range(0, len(documents), _BATCH):
        write_bytes("".join([encode(d) + "\n" for d in documents[start:start + _BATCH]]).encode("utf-8"))
    report_warnings(path, statement)


def key_columns(sections: Iterable[Section]) -> list[str]:
    """Every key of the sections, in the order of its first appearance."""
    seen: dict[str, None] = {}
    for section in sections:
        for key, _ in section.attributes:
            seen[key] = None
    return list(seen)


def key_cells(section: Section, columns: list[str]) -> list[str]:
    """The section's value of each column; a key written more than once gives its values in file order, each on a
    line of its own (a value never holds a line break, so the lines give the values back exactly)."""
    values: dict[str, str] = {}
    for key, value in section.attributes:
        values[key] = values[key] + "\n" + value if key in values else value
    return [values.get(column, "") for column in columns]


def write_csv(path: str, every_key: bool, delimiter: str, bom: bool) -> None:
    source = read(path, every_key)
    statement = _statement(source)
    header: list[str] = list(_keys.DOCUMENT_FIELDS)
    rows: Any = document_rows(statement.documents, list)
    if isinstance(source, SectionReading):
        columns = key_columns(source.documents)
        header += columns
        for row, section in zip(rows, source.documents):
            row += key_cells(section, columns)
    out = io.StringIO()
    writer = csv.writer(out, delimiter=delimiter, lineterminator="\r\n")
    out.write("\ufeff" if bom else "")
    writer.writerow(header)
    for start in range(0, len(rows), _BATCH):
        writer.writerows(rows[start:start + _BATCH])
        write_bytes(out.getvalue().encode("utf-8"))
        out.seek(0)
        out.truncate()
    write_bytes(out.getvalue().encode("utf-8"))
    report_warnings(path, statement)
