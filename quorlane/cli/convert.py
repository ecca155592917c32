"""`quorlane convert IN OUT`: a statement's own text in another encoding or with other line ends."""

from __future__ import annotations

import argparse
from typing import Any

from . import streams
from .output import replaced_file
from .reading import Failed, read_bytes, reading, shown


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
    from ..errors import WriteError
    from ..text_conversion import convert

    data = read_bytes(args.input)
    try:
        with reading(args.input):
            converted = convert(data, args.encoding, "\r\n" if args.newline == "crlf" else "\n")
    except WriteError as error:
        place = f"{error.line}:{error.column}:" if error.line is not None else ""
        raise Failed(shown(f"{args.input}:{place} {error.message}")) from None
    if args.output == "-":
        streams.write_bytes(converted)
        return 0
    with replaced_file(args.output) as temporary:
        try:
            with open(temporary, "wb") as out:
                out.write(converted)
        except OSError as error:
            raise Failed(shown(f"{args.output}: {error.strerror or error}")) from None
    return 0
