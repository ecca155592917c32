"""`quorlane check-orders FILE`: the checks of payment orders, on a 1c_to_kl.txt that another program wrote."""

from __future__ import annotations

import argparse
import sys
from datetime import date
from typing import Any

import quorlane_py

from .reading import Failed, failure, read_bytes

COMMAND = "check-orders"


def register(commands: Any) -> None:
    """Adds the command to the subcommands of the quorlane parser."""
    command = commands.add_parser(
        COMMAND, help="check the payment orders of a file for the bank (1c_to_kl.txt)",
        description="Check every document section of a file of payment orders as the bank would: one line "
                    "'path:line: error|warning: message' per problem; exit status 1 when there is an error.")
    command.add_argument("file", metavar="FILE", help="the file of orders (- = stdin)")
    command.add_argument("--today", type=_day, default=None, metavar="YYYY-MM-DD",
                         help="the day to check the orders' dates against (default: today)")
    command.set_defaults(func=run)


def _day(text: str) -> date:
    try:
        return date.fromisoformat(text)
    except ValueError:
        raise argparse.ArgumentTypeError(f"not a date YYYY-MM-DD: {text!r}") from None


def run(args: argparse.Namespace) -> int:
    from ..payment_order_checks import validate_order_pairs
    from ..sections import read_sections

    path = args.file
    try:
        reading = read_sections(read_bytes(path))
    except quorlane_py.ParseError as error:
        raise failure(path, error) from None
    documents = [section for section in reading.sections if section.kind == "document"]
    if not documents:
        raise Failed(f"{path}: a file for the bank needs at least one document section")
    dropped = dict(reading.statement.warnings)
    errors = 0
    for number, section in enumerate(documents, start=1):
        # The line of each key's last value: the one the reader keeps and the checks see.
        key_lines = dict(zip((key for key, _ in section.attributes), section.lines))
        problems = validate_order_pairs(section.attributes, kind=section.doc_type or "",
                                        section=f"document {number}", today=args.today)
        located = [(key_lines.get(p.key or "", section.start_line), p.level, p.message) for p in problems]
        if section.end_line in dropped:
            located.append((section.end_line, "warning", f"the reader drops this document: "
                                                         f"{dropped[section.end_line]}"))
        for line, level, message in sorted(located, key=lambda found: found[0]):
            print(f"{path}:{line}: {level}: {message}")
            errors += level == "error"
    sys.stdout.flush()
    return 1 if errors else 0
