"""`quorlane convert IN OUT`: a statement's own text in another encoding or with other line ends."""

from __future__ import annotations

import argparse
import sys
from collections.abc import Callable
from typing import Any

from . import streams
from .output import replaced_file
from .reading import Failed, read_bytes, reading, refused, shown


def register(commands: Any) -> None:
    """Adds the command to the subcommands of the quorlane parser."""
    command = commands.add_parser(
        "convert", help="a statement's own text in another encoding or with other line ends, every line kept",
        description="Write the statement's own text, every line kept, in another encoding or with other line "
                    "ends. OUT is written under a temporary name beside it and renamed at the end: after a "
                    "failure, Ctrl-C or SIGTERM an earlier OUT is as it was.")
    command.add_argument("input", metavar="IN", help="the statement (- = stdin)")
    command.add_argument("output", metavar="OUT", help="the file to write (- = stdout)")
    command.add_argument("--encoding", choices=["utf-8", "cp1251", "cp866"], default=None,
                         help="the output encoding (default: the input's; cp866, DOS, for a statement whose header "
                              "declares Кодировка=DOS)")
    command.add_argument("--newline", choices=["crlf", "lf"], default="crlf", help="line ends (default: crlf)")
    command.set_defaults(func=run)


def run(args: argparse.Namespace) -> int:
    data = read_bytes(args.input)
    newline = "\r\n" if args.newline == "crlf" else "\n"
    if args.output == "-":
        # Made once without being written first: what the text cannot keep, found at its end, leaves stdout empty.
        # The notes of the first making are said once, after the text.
        notes: list[str] = []
        _convert(args.input, data, args.encoding, newline, _nowhere, notes)
        _convert(args.input, data, args.encoding, newline, streams.write_bytes, [])
        if notes:
            print("\n".join(notes), file=sys.stderr)
        return 0
    with replaced_file(args.output) as temporary:
        try:
            with open(temporary, "wb") as out:
                _convert(args.input, data, args.encoding, newline, out.write)
        except OSError as error:
            raise refused(args.output, error) from None
    return 0


def _convert(path: str, data: bytes, encoding: str | None, newline: str, write: Callable[[bytes], Any],
             notes: list[str] | None = None) -> None:
    """The converted text, a piece at a time, to `write`; the reader's failure and what the text cannot keep as
    Failed (see `reading` for `notes`)."""
    from ..errors import WriteError
    from ..text_conversion import write_converted

    try:
        with reading(path, notes):
            write_converted(data, write, encoding, newline)
    except WriteError as error:
        place = f"{error.line}:{error.column}:" if error.line is not None else ""
        raise Failed(shown(f"{path}:{place} {error.message}")) from None


def _nowhere(piece: bytes) -> None:
    """Takes a piece of text and keeps nothing of it."""
