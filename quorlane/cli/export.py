"""`quorlane json` and `quorlane csv`: a statement for other programs, UTF-8 whatever the terminal's encoding."""

from __future__ import annotations

import argparse
import sys
from collections.abc import Iterable
from typing import TYPE_CHECKING, Any, Union

import quorlane_py

from .reading import dropped, parse, read_bytes, reading, warning_lines
from .streams import write_bytes

# The conversions and the json and csv modules are imported where they are used, so that the other commands start
# without them.
if TYPE_CHECKING:
    from ..sections import Section, SectionReading

# Rows of JSON lines and CSV go out in batches: one write per row would cost more than making the row.
_BATCH = 2048

EVERY_KEY = "also every key of each section as written (budget keys, Код, name and bank lines, ...)"
STRICT = "a warning (a document the reader dropped) fails the command (exit status 1), after the output"
EXCEL = ("for a spreadsheet in a Russian locale (Excel, LibreOffice): a byte order mark, ';' between cells, "
         "amounts with a decimal comma (numbers that sum; one of more than 15 significant digits, which a "
         "spreadsheet number cannot hold, is text), dates YYYY-MM-DD (date cells). Every text that does not begin "
         "with a letter (codes such as BIC, INN, accounts and document numbers, and anything a spreadsheet would "
         "take for a number, a date or a formula) is written after an apostrophe, which the spreadsheet shows: "
         "'044525716. For cells exactly as written use `quorlane xlsx`")


def register(commands: Any) -> None:
    """Adds `json` and `csv` to the subcommands of the quorlane parser."""
    json_cmd = commands.add_parser("json", help="a statement as JSON (UTF-8)")
    json_cmd.add_argument("file", metavar="FILE", help="the statement (- = stdin)")
    layout = json_cmd.add_mutually_exclusive_group()
    layout.add_argument("--lines", action="store_true",
                        help="one JSON object per document and line, nothing else (warnings go to stderr)")
    layout.add_argument("--indent", type=_indent, default=None, metavar="N",
                        help="indent nested values by N spaces (default: compact, one line)")
    json_cmd.add_argument("--all-keys", action="store_true", help=EVERY_KEY)
    json_cmd.add_argument("--strict", action="store_true", help=STRICT)
    json_cmd.set_defaults(func=run_json)

    csv_cmd = commands.add_parser("csv", help="the documents of a statement as CSV (UTF-8), with a header row")
    csv_cmd.add_argument("file", metavar="FILE", help="the statement (- = stdin)")
    csv_cmd.add_argument("--excel", action="store_true", help=EXCEL)
    csv_cmd.add_argument("--delimiter", type=_one_character, default=None, metavar="CHAR",
                         help="the character between cells (default: ',', or ';' with --excel)")
    csv_cmd.add_argument("--all-keys", action="store_true", help=EVERY_KEY + ", a column per key")
    csv_cmd.add_argument("--strict", action="store_true", help=STRICT)
    csv_cmd.set_defaults(func=run_csv)


def _indent(text: str) -> int:
    try:
        number = int(text)
    except ValueError:
        number = -1
    if number < 0:
        raise argparse.ArgumentTypeError(f"must be a whole number of spaces, not {text!r}")
    return number


def _one_character(text: str) -> str:
    if len(text) != 1 or text in "\r\n\"":
        raise argparse.ArgumentTypeError(f"must be one character other than a quote or line end, not {text!r}")
    return text


def run_json(args: argparse.Namespace) -> int:
    statement = write_json(args.file, args.all_keys, args.lines, args.indent)
    return 1 if args.strict and statement.warnings else 0


def run_csv(args: argparse.Namespace) -> int:
    statement = write_csv(args.file, args.all_keys, args.delimiter or (";" if args.excel else ","), args.excel)
    return 1 if args.strict and statement.warnings else 0


def read(path: str, every_key: bool) -> Union[quorlane_py.Statement, SectionReading]:
    """The statement, with every section as written when `every_key` asks for it."""
    from ..sections import read_sections

    data = read_bytes(path)
    if not every_key:
        return parse(path, data)
    with reading(path):
        return read_sections(data)


def _statement(source: Union[quorlane_py.Statement, SectionReading]) -> quorlane_py.Statement:
    return source if isinstance(source, quorlane_py.Statement) else source.statement


def report_warnings(path: str, statement: quorlane_py.Statement) -> None:
    """The documents the reader dropped, on stderr, for outputs that hold the documents alone."""
    for line in warning_lines(path, dropped(statement)):
        print(line, file=sys.stderr)


def write_json(path: str, every_key: bool, lines: bool, indent: int | None) -> quorlane_py.Statement:
    import json

    from ..conversions import document_rows, section_dict, to_dict

    source = read(path, every_key)
    # One call of the C encoder over the whole value; an indent makes json use its pure Python encoder.
    encoder = json.JSONEncoder(ensure_ascii=False, indent=indent,
                               separators=(",", ": ") if indent is not None else (",", ":"))
    statement = _statement(source)
    if not lines:
        write_bytes(encoder.encode(to_dict(source)).encode("utf-8") + b"\n")
        report_warnings(path, statement)  # in the JSON too; on stderr as every command says them
        return statement
    documents = document_rows(statement.documents, dict)
    if not isinstance(source, quorlane_py.Statement):  # a SectionReading
        for document, section in zip(documents, source.documents):
            document["section"] = section_dict(section)
    encode = encoder.encode
    for start in range(0, len(documents), _BATCH):
        write_bytes("".join([encode(d) + "\n" for d in documents[start:start + _BATCH]]).encode("utf-8"))
    report_warnings(path, statement)
    return statement


def key_columns(sections: Iterable[Section]) -> list[str]:
    """Every key of the sections, in the order of its first appearance (named as columns by key_column)."""
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


def write_csv(path: str, every_key: bool, delimiter: str, excel: bool) -> quorlane_py.Statement:
    import csv
    import io

    from .. import _keys
    from .._text import key_column
    from ..conversions import document_rows
    from . import spreadsheet

    source = read(path, every_key)
    statement = _statement(source)
    header: list[str] = list(_keys.DOCUMENT_FIELDS)
    rows: Any = document_rows(statement.documents, list)
    if not isinstance(source, quorlane_py.Statement):  # a SectionReading
        columns = key_columns(source.documents)
        header += map(key_column, columns)  # "amount=" gets the column "key:amount", as read_table names it
        for row, section in zip(rows, source.documents):
            row += key_cells(section, columns)
    # --excel: the fields as csv_cells has them, the keys' columns as protected text.
    cells = [*spreadsheet.csv_cells(), *[spreadsheet.protected] * (len(header) - len(_keys.DOCUMENT_FIELDS))]
    out = io.StringIO()
    writer = csv.writer(out, delimiter=delimiter, lineterminator="\r\n")
    out.write("\ufeff" if excel else "")
    writer.writerow(map(spreadsheet.protected, header) if excel else header)  # keys' names are the file's text
    for start in range(0, len(rows), _BATCH):
        batch = rows[start:start + _BATCH]
        if excel:
            batch = [[cell(value) if value else "" for cell, value in zip(cells, row)] for row in batch]
        writer.writerows(batch)
        write_bytes(out.getvalue().encode("utf-8"))
        out.seek(0)
        out.truncate()
    write_bytes(out.getvalue().encode("utf-8"))
    report_warnings(path, statement)
    return statement
