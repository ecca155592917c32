"""The quorlane command line (also `python -m quorlane`)."""

from __future__ import annotations

import argparse
import sys
from typing import Any, Optional, Sequence

from . import check, orders, parquet, streams
from .reading import Failed, failure, parse, read, read_bytes, sample_bytes
from .show import show

# The writers and conversions are imported by the commands that use them, to keep the start of the others short.

EXAMPLES = """\
examples:
  quorlane show                       the sample statement shipped with the package
  quorlane show kl_to_1c.txt          encoding, header, accounts, documents, warnings
  quorlane json kl_to_1c.txt > s.json everything as JSON (amounts as strings, dates as YYYY-MM-DD)
  cat kl_to_1c.txt | quorlane json -  the same from standard input
  quorlane json --lines s.txt | jq .amount   one JSON object per document
  quorlane csv kl_to_1c.txt > d.csv   the documents, one row each
  quorlane csv --excel s.txt > d.csv  for Excel: UTF-8 with BOM, ";" between cells
  quorlane csv --all-keys s.txt       every key of each document (ПоказательКБК, Код, ...) as a column too
  quorlane check statements/          every *.txt (any case) below the folder, on every core
  quorlane check --balances s.txt     balances and documents reconciled
  quorlane convert in.txt out.txt --encoding utf-8   every line as it stands, in UTF-8
  quorlane check-orders 1c_to_kl.txt  the payment orders as the bank checks them

exit status: 0 fine, 1 a statement could not be read or written, an order has an error or a check failed,
2 wrong usage, 130 interrupted (Ctrl-C), 141 the reader of the output went away (a closed pipe)
"""


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


class _Version(argparse.Action):
    """--version: the package's own version, which is also the distribution's."""

    def __init__(self, option_strings: Sequence[str], dest: str = argparse.SUPPRESS, **kwargs: Any) -> None:
        super().__init__(option_strings, dest, nargs=0, help="show the version and exit", **kwargs)

    def __call__(self, parser: argparse.ArgumentParser, *_: Any) -> None:
        from .. import __version__

        print(f"quorlane {__version__}")
        parser.exit()


def _parser() -> argparse.ArgumentParser:
    parser = argparse.ArgumentParser(
        prog="quorlane", description="Read, check and convert 1CClientBankExchange statements.",
        epilog=EXAMPLES, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--version", action=_Version)
    commands = parser.add_subparsers(dest="command", metavar="COMMAND", required=True)

    show_cmd = commands.add_parser("show", help="show a statement in readable form")
    show_cmd.add_argument("file", nargs="?", metavar="FILE", help="the statement (default: a sample; - = stdin)")

    every_key = "also every key of each section as written (budget keys, Код, name and bank lines, ...)"
    json_cmd = commands.add_parser("json", help="a statement as JSON (UTF-8)")
    json_cmd.add_argument("file", metavar="FILE", help="the statement (- = stdin)")
    json_cmd.add_argument("--lines", action="store_true",
                          help="one JSON object per document and line, nothing else (warnings go to stderr)")
    json_cmd.add_argument("--indent", type=_indent, default=None, metavar="N",
                          help="indent nested values by N spaces (default: compact, one line)")
    json_cmd.add_argument("--all-keys", action="store_true", help=every_key)

    csv_cmd = commands.add_parser("csv", help="the documents of a statement as CSV (UTF-8), with a header row")
    csv_cmd.add_argument("file", metavar="FILE", help="the statement (- = stdin)")
    csv_cmd.add_argument("--excel", action="store_true",
                         help="what Excel in a Russian locale opens right: a byte order mark and ';' between cells")
    csv_cmd.add_argument("--delimiter", type=_one_character, default=None, metavar="CHAR",
                         help="the character between cells (default: ',', or ';' with --excel)")
    csv_cmd.add_argument("--all-keys", action="store_true", help=every_key + ", a column per key")

    check_cmd = commands.add_parser("check", help="read many statements; report failures, warnings and balances")
    check_cmd.add_argument("paths", nargs="+", metavar="PATH", help="statement files and folders")
    check_cmd.add_argument("--pattern", default="*.txt",
                           help="the names of the files to read in folders, in any case (default: *.txt)")
    check_cmd.add_argument("--jobs", type=check.jobs_count, default=None, help="processes (default: one per core)")
    check_cmd.add_argument("--strict", action="store_true", help="a warning fails the check (exit status 1)")
    check_cmd.add_argument("--balances", action="store_true",
                           help="reconcile each account's balances, and its income and expense with the documents")

    orders.register(commands)
    parquet.register(commands)

    convert_cmd = commands.add_parser(
        "convert", help="a statement's own text in another encoding or with other line ends, every line kept")
    convert_cmd.add_argument("input", metavar="IN", help="the statement (- = stdin)")
    convert_cmd.add_argument("output", metavar="OUT", help="the file to write (- = stdout)")
    convert_cmd.add_argument("--encoding", choices=["utf-8", "cp1251"], default=None,
                             help="the output encoding (default: the input's)")
    convert_cmd.add_argument("--newline", choices=["crlf", "lf"], default="crlf", help="line ends (default: crlf)")
    return parser


def _show(path: Optional[str]) -> None:
    statement = parse("sample", sample_bytes()) if path is None else read(path)
    cut = "…" if streams.can_show("…", sys.stdout) else "..."
    for line in show(statement, cut):
        print(line)


def _convert(source: str, target: str, encoding: Optional[str], newline: str) -> None:
    import quorlane_py

    from ..errors import WriteError
    from ..text_conversion import convert

    data = read_bytes(source)
    try:
        converted = convert(data, encoding, "\r\n" if newline == "crlf" else "\n")
    except quorlane_py.ParseError as error:
        raise failure(source, error) from None
    except WriteError as error:
        raise Failed(f"{source}:{error.line}:{error.column}: {error.message}") from None
    if target == "-":
        streams.write_bytes(converted)
        return
    try:
        with open(target, "wb") as out:
            out.write(converted)
    except OSError as error:
        raise Failed(f"{target}: {error.strerror or error}") from None


def _run(args: argparse.Namespace) -> int:
    if args.command == "show":
        _show(args.file)
    elif args.command == "json":
        from .export import write_json

        write_json(args.file, args.all_keys, args.lines, args.indent)
    elif args.command == "csv":
        from .export import write_csv

        write_csv(args.file, args.all_keys, args.delimiter or (";" if args.excel else ","), args.excel)
    elif args.command == "check":
        return check.run(args.paths, args.pattern, args.jobs, args.balances, args.strict)
    elif args.command == orders.COMMAND:
        return orders.run(args)
    elif args.command == parquet.COMMAND:
        return parquet.run(args)
    else:
        _convert(args.input, args.output, args.encoding, args.newline)
    return 0


def main(argv: Optional[Sequence[str]] = None) -> int:
    """The command line; its exit status. Whatever the user's situation (a bad file, a closed pipe, Ctrl-C, a
    terminal that lacks a character), the user gets a line, not a traceback."""
    if sys.stdout is None:  # started with its standard output closed (`>&-`): Python gives no stream then
        print("quorlane: standard output is closed", file=sys.stderr)
        return 1
    try:
        streams.tolerant_text_streams()
        args = _parser().parse_args(argv)
        status = _run(args)
        sys.stdout.flush()
        return status
    except Failed as failure:
        print(failure, file=sys.stderr)
        return 1
    except BrokenPipeError:
        streams.silence_stdout()
        return streams.CLOSED_PIPE_STATUS
    except KeyboardInterrupt:
        print("quorlane: interrupted", file=sys.stderr)
        return streams.INTERRUPTED_STATUS
    except OSError as error:  # what writing the output met: a full disk, a device gone
        print(f"quorlane: {error.strerror or error}", file=sys.stderr)
        return 1
