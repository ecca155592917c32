"""`quorlane json` and `quorlane csv`: a statement for other programs, UTF-8 whatever the terminal's encoding."""

from __future__ import annotations

import argparse
import itertools
import sys
from collections.abc import Callable, Sequence
from typing import TYPE_CHECKING, Any, NamedTuple

import quorlane_py

from .reading import dropped, outline, read_bytes, warning_lines
from .streams import write_bytes

# The conversions and the json and csv modules are imported where they are used, so that the other commands start
# without them.
if TYPE_CHECKING:
    from ..sections import Section

# Documents are read, made into rows and written in batches: what the command holds at a time is the statement and
# a batch, and one write per row would cost more than making the row.
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


def report_warnings(path: str, statement: quorlane_py.Statement) -> None:
    """The documents the reader dropped, on stderr, for outputs that hold the documents alone."""
    for line in warning_lines(path, dropped(statement)):
        print(line, file=sys.stderr)


def write_json(path: str, every_key: bool, lines: bool, indent: int | None) -> quorlane_py.Statement:
    import json

    from ..conversions import document_dicts, document_rows, statement_dict

    source = outline(path, read_bytes(path), every_key)
    # The C encoder for each document; an indent makes json use its pure Python encoder.
    encode = json.JSONEncoder(ensure_ascii=False, indent=indent,
                              separators=(",", ": ") if indent is not None else (",", ":")).encode

    def dicts(documents: list[quorlane_py.Document], sections: Sequence[Section] | None) -> list[dict[str, Any]]:
        return document_rows(documents, dict) if sections is None else document_dicts(documents, sections)

    if lines:
        def write_lines(documents: list[quorlane_py.Document], sections: Sequence[Section] | None) -> None:
            write_bytes("".join([encode(d) + "\n" for d in dicts(documents, sections)]).encode("utf-8"))

        source.read_documents(write_lines, _BATCH)
    else:
        whole = statement_dict(source.statement, [], source.sections)
        if not source.count:
            write_bytes(encode(whole).encode("utf-8") + b"\n")
        else:
            frame = _Frame.around_documents(encode, whole)
            before = frame.head  # what comes before the next document

            def write_documents(documents: list[quorlane_py.Document], sections: Sequence[Section] | None) -> None:
                nonlocal before
                texts = [frame.nested(encode(d)) for d in dicts(documents, sections)]
                write_bytes((before + frame.between.join(texts)).encode("utf-8"))
                before = frame.between

            source.read_documents(write_documents, _BATCH)
            write_bytes(frame.tail.encode("utf-8") + b"\n")
    report_warnings(path, source.statement)  # in the JSON too; on stderr as every command says them
    return source.statement


class _Frame(NamedTuple):
    """The text json makes of a statement's dict around its documents, which are written as they are read: the
    text before the first document, between two documents and after the last, and the indent of a document's
    lines among them (json indents a document written alone as a whole of its own)."""

    head: str
    between: str
    tail: str
    indent: str

    @classmethod
    def around_documents(cls, encode: Callable[[Any], str], whole: dict[str, Any]) -> _Frame:
        """The frame of `whole` (its "documents" empty) as `encode` writes it: the text of `whole` with two marks
        (texts the statement does not hold) in place of its documents, cut at the marks."""
        for attempt in itertools.count():  # marks that the statement's own texts do not hold
            placed = [f"\x00quorlane mark {attempt}.{n}" for n in (1, 2)]
            marks = [encode(mark) for mark in placed]
            text = encode({**whole, "documents": placed})
            if all(text.count(mark) == 1 for mark in marks):
                break
        head, rest = text.split(marks[0])
        between, tail = rest.split(marks[1])
        return cls(head, between, tail, head[head.rfind("\n") + 1:] if "\n" in head else "")

    def nested(self, document: str) -> str:
        """A document's text, written alone, as it stands among the documents."""
        return document.replace("\n", "\n" + self.indent) if self.indent else document


def key_cells(section: Section, keys: list[str]) -> list[str]:
    """The section's value of each key; a key written more than once gives its values in file order, each on a
    line of its own (a value never holds a line break, so the lines give the values back exactly)."""
    values: dict[str, str] = {}
    for key, value in section.attributes:
        values[key] = values[key] + "\n" + value if key in values else value
    return [values.get(key, "") for key in keys]


def write_csv(path: str, every_key: bool, delimiter: str, excel: bool) -> quorlane_py.Statement:
    import csv
    import io

    from .. import _keys
    from .._text import key_column
    from ..conversions import document_rows
    from . import spreadsheet

    source = outline(path, read_bytes(path), every_key)
    keys = list(source.keys)
    header = [*_keys.DOCUMENT_FIELDS, *map(key_column, keys)]  # each key's column as read_table names it
    # --excel: the fields as csv_cells has them, the keys' columns as protected text.
    cells = [*spreadsheet.csv_cells(), *[spreadsheet.protected] * len(keys)]
    out = io.StringIO()
    writer = csv.writer(out, delimiter=delimiter, lineterminator="\r\n")
    out.write("\ufeff" if excel else "")
    writer.writerow(map(spreadsheet.protected, header) if excel else header)  # keys' names are the file's text

    def write_rows(documents: list[quorlane_py.Document], sections: Sequence[Section] | None) -> None:
        rows: Any = document_rows(documents, list)
        if sections is not None:
            for row, section in zip(rows, sections):
                row += key_cells(section, keys)
        if excel:
            rows = [[cell(value) if value else "" for cell, value in zip(cells, row)] for row in rows]
        writer.writerows(rows)
        write_bytes(out.getvalue().encode("utf-8"))
        out.seek(0)
        out.truncate()

    source.read_documents(write_rows, _BATCH)
    write_bytes(out.getvalue().encode("utf-8"))  # the header row, when there is no document
    report_warnings(path, source.statement)
    return source.statement
