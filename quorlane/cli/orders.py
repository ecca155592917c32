"""`quorlane check-orders FILE`: the checks of payment orders, on a 1c_to_kl.txt that another program wrote."""

from __future__ import annotations

import argparse
import sys
from datetime import date
from typing import TYPE_CHECKING, Any

from .reading import Failed, dropped, read_bytes, reading, shown

if TYPE_CHECKING:
    from ..bic_directory import BicDirectory

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
    command.add_argument("--bic-directory", metavar="FILE", default=None,
                         help="the Bank of Russia's БИК directory (ED807, .xml or its .zip): check each bank's БИК, "
                              "correspondent account, name and city against it")
    command.set_defaults(func=run)


def _day(text: str) -> date:
    try:
        return date.fromisoformat(text)
    except ValueError:
        raise argparse.ArgumentTypeError(f"not a date YYYY-MM-DD: {text!r}") from None


def _directory(path: str) -> BicDirectory:
    from ..bic_directory import DirectoryError, read_bic_directory

    try:
        return read_bic_directory(read_bytes(path))
    except DirectoryError as error:
        where = "" if error.line is None else f"{error.line}:"
        raise Failed(shown(f"{path}:{where} {error.message}")) from None


def run(args: argparse.Namespace) -> int:
    from ..payment_order_checks import validate_order_pairs
    from ..sections import read_sections

    path = args.file
    directory = None if args.bic_directory is None else _directory(args.bic_directory)
    data = read_bytes(path)
    with reading(path):
        sections = read_sections(data)
    documents = [section for section in sections.sections if section.kind == "document"]
    if not documents:
        raise Failed(shown(f"{path}: a file for the bank needs at least one document section"))
    dropped_at = {warning.lineno: warning for warning in dropped(sections.statement)}
    errors = 0
    for number, section in enumerate(documents, start=1):
        # The line of each key's last value: the one the reader keeps and the checks see.
        key_lines = dict(zip((key for key, _ in section.attributes), section.lines))
        problems = validate_order_pairs(section.attributes, kind=section.doc_type or "",
                                        section=f"document {number}", today=args.today, directory=directory)
        located = [(key_lines.get(p.key or "", section.start_line), p.level, p.message) for p in problems]
        if section.end_line in dropped_at:
            located.append((section.end_line, "warning", f"the reader drops this document: "
                                                         f"{dropped_at[section.end_line]}"))
        for line, level, message in sorted(located, key=lambda found: found[0]):
            print(shown(f"{path}:{line}: {level}: {message}"))
            errors += level == "error"
    sys.stdout.flush()
    return 1 if errors else 0
