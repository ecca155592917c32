"""A statement in readable form: encoding, header, accounts with their intervals, documents, warnings."""

from __future__ import annotations

import argparse
import sys
from collections.abc import Iterator
from typing import Any

import quorlane_py

from . import streams
from .reading import parse, read, sample_bytes, shown


def register(commands: Any) -> None:
    """Adds the command to the subcommands of the quorlane parser."""
    command = commands.add_parser("show", help="show a statement in readable form")
    command.add_argument("file", nargs="?", metavar="FILE", help="the statement (default: a sample; - = stdin)")
    command.set_defaults(func=run)


def run(args: argparse.Namespace) -> int:
    statement = parse("sample", sample_bytes()) if args.file is None else read(args.file)
    cut = "…" if streams.can_show("…", sys.stdout) else "..."
    for line in show(statement, cut):
        print(line)
    return 0


def shorten(text: str | None, width: int, cut: str = "…") -> str:
    """The text in at most `width` characters (control characters escaped), `cut` marking where it was cut."""
    text = "" if text is None else shown(text)
    return text if len(text) <= width else text[: width - len(cut)] + cut


def table(rows: list[list[str]], headings: list[str], right: tuple[int, ...] = ()) -> list[str]:
    """Columns padded to their widest cell; the columns listed in `right` are right-aligned."""
    widths = [max(len(row[i]) for row in [headings, *rows]) for i in range(len(headings))]

    def line(cells: list[str]) -> str:
        return "  ".join(c.rjust(w) if i in right else c.ljust(w)
                         for i, (c, w) in enumerate(zip(cells, widths))).rstrip()

    return [line(headings), line(["-" * w for w in widths]), *(line(row) for row in rows)]


def show(st: quorlane_py.Statement, cut: str = "…") -> Iterator[str]:
    """The lines; `cut` marks a text cut to fit its column ("..." where the terminal lacks "…")."""
    yield f"Encoding: {st.encoding}"

    yield "\nHeader:"
    width = max((len(key) for key in st.header), default=0)
    for key, value in st.header.items():
        yield f"  {key.ljust(width)}  {value}"

    yield f"\nAccounts ({len(st.accounts)}):"
    for number, account in st.accounts.items():
        yield f"  {number}"
        rows = [[i.date_start, i.date_end or "", i.start_amount, i.total_income or "", i.total_expense or "",
                 i.end_amount or ""] for i in account.intervals]
        for line in table(rows, ["from", "to", "opening", "income", "expense", "closing"], right=(2, 3, 4, 5)):
            yield "    " + line

    yield f"\nDocuments ({len(st.documents)}):"
    rows = [[d.doc_date, d.doc_number, shorten(d.doc_type, 20, cut), d.amount,
             shorten(d.counterparty_1 or d.counterparty or d.counterparty_inn, 24, cut),
             shorten(d.payee or d.payee_inn, 24, cut), shorten(d.purpose, 40, cut)] for d in st.documents]
    for line in table(rows, ["date", "number", "type", "amount", "payer", "recipient", "purpose"], right=(3,)):
        yield "  " + line

    yield f"\nWarnings ({len(st.warnings)}):"
    for warning in st.warnings:  # DroppedDocument: the message with the key and value
        yield shown(f"  line {warning[0]}: {warning}")
