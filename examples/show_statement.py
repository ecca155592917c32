#!/usr/bin/env python3
"""Print a 1CClientBankExchange statement in readable form.

Usage: show_statement.py [FILE]

Without FILE it reads sample_statement.txt beside this script. The file is handed to the parser as raw bytes;
the parser itself decides between UTF-8 and windows-1251.
"""

from __future__ import annotations

import sys
from pathlib import Path

import quorlane_py

SAMPLE = Path(__file__).with_name("sample_statement.txt")


def shorten(text: str | None, width: int) -> str:
    text = "" if text is None else text
    return text if len(text) <= width else text[: width - 1] + "…"


def table(rows: list[list[str]], headings: list[str], right: tuple[int, ...] = ()) -> list[str]:
    """Columns padded to their widest cell; the columns listed in `right` are right-aligned."""
    widths = [max(len(row[i]) for row in [headings, *rows]) for i in range(len(headings))]

    def line(cells: list[str]) -> str:
        return "  ".join(c.rjust(w) if i in right else c.ljust(w) for i, (c, w) in enumerate(zip(cells, widths))).rstrip()

    return [line(headings), line(["-" * w for w in widths]), *(line(row) for row in rows)]


def show(st: quorlane_py.Statement) -> None:
    print(f"Encoding: {st.encoding}")

    print("\nHeader:")
    width = max((len(key) for key in st.header), default=0)
    for key, value in st.header.items():
        print(f"  {key.ljust(width)}  {value}")

    print(f"\nAccounts ({len(st.accounts)}):")
    for number, account in st.accounts.items():
        print(f"  {number}")
        rows = [
            [
                i.date_start,
                i.date_end or "",
                i.start_amount,
                i.total_income or "",
                i.total_expense or "",
                i.end_amount or "",
            ]
            for i in account.intervals
        ]
        headings = ["from", "to", "opening", "income", "expense", "closing"]
        for line in table(rows, headings, right=(2, 3, 4, 5)):
            print("    " + line)

    print(f"\nDocuments ({len(st.documents)}):")
    rows = [
        [
            d.doc_date,
            d.doc_number,
            shorten(d.doc_type, 20),
            d.amount,
            shorten(d.counterparty_1 or d.counterparty or d.counterparty_inn, 24),
            shorten(d.payee or d.payee_inn, 24),
            shorten(d.purpose, 40),
        ]
        for d in st.documents
    ]
    for line in table(rows, ["date", "number", "type", "amount", "payer", "recipient", "purpose"], right=(3,)):
        print("  " + line)

    print(f"\nWarnings ({len(st.warnings)}):")
    for lineno, message in st.warnings:
        print(f"  line {lineno}: {message}")


def main(argv: list[str]) -> int:
    if len(argv) > 2:
        print(__doc__.strip().splitlines()[2], file=sys.stderr)
        return 2
    path = Path(argv[1]) if len(argv) == 2 else SAMPLE
    try:
        data = path.read_bytes()
    except OSError as exc:
        print(f"{path}: {exc.strerror}", file=sys.stderr)
        return 1
    try:
        st = quorlane_py.parse(data)
    except quorlane_py.SyntaxError as exc:
        print(f"{path}:{exc.detail.lineno}: {exc}", file=sys.stderr)
        return 1
    except quorlane_py.ParseError as exc:
        print(f"{path}: {exc}", file=sys.stderr)
        return 1
    show(st)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
