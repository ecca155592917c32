"""The quorlane command line (also `python -m quorlane`)."""

from __future__ import annotations

import argparse
import io
import sys
from typing import Optional, Sequence

from . import check, orders
from . import parquet
from .reading import Failed, parse, read, read_bytes, sample_bytes
from .show import show

# The writers and conversions are imported by the commands that use them, to keep the start of the others short.

EXAMPLES = """\
examples:
  quorlane show                       the sample statement shipped with the package
  quorlane show kl_to_1c.txt          encoding, header, accounts, documents, warnings
  quorlane json kl_to_1c.txt > s.json everything as JSON (amounts as strings, dates as YYYY-MM-DD)
  cat kl_to_1c.txt | quorlane json -  the same from standard input
  quorlane csv kl_to_1c.txt > d.csv   the documents, one row each
  quorlane check statements/          every *.txt below the folder, on every core
  quorlane convert in.txt out.txt --encoding utf-8   every line as it stands, in UTF-8
  quorlane check-orders 1c_to_kl.txt  the payment orders as the bank checks them

exit status: 0 fine, 1 a statement could not be read or written or an order has an error, 2 wrong usage
"""


def _parser() -> argparse.ArgumentParser:
    parser = argparse.ArgumentParser(
        prog="quorlane", description="Read, check and convert 1CClientBankExchange statements.",
        epilog=EXAMPLES, formatter_class=argparse.RawDescriptionHelpFormatter)
    commands = parser.add_subparsers(dest="command", metavar="COMMAND", required=True)

    show_cmd = commands.add_parser("show", help="show a statement in readable form")
    show_cmd.add_argument("file", nargs="?", metavar="FILE", help="the statement (default: a sample; - = stdin)")

    json_cmd = commands.add_parser("json", help="a statement as JSON")
    json_cmd.add_argument("file", metavar="FILE", help="the statement (- = stdin)")

    csv_cmd = commands.add_parser("csv", help="the documents of a statement as CSV, with a header row")
    csv_cmd.add_argument("file", metavar="FILE", help="the statement (- = stdin)")

    check_cmd = commands.add_parser("check", help="read many statements; report those that fail")
    check_cmd.add_argument("paths", nargs="+", metavar="PATH", help="statement files and folders")
    check_cmd.add_argument("--pattern", default="*.txt", help="the files to read in folders (default: *.txt)")
    check_cmd.add_argument("--jobs", type=int, default=None, help="processes (default: one per core)")

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


def _utf8_stdout() -> io.TextIOWrapper:
    return io.TextIOWrapper(sys.stdout.buffer, encoding="utf-8", newline="", write_through=True)


def _show(path: Optional[str]) -> None:
    statement = parse("sample", sample_bytes()) if path is None else read(path)
    for line in show(statement):
        print(line)


def _json(path: str) -> None:
    import json

    from ..conversions import to_dict

    out = _utf8_stdout()
    json.dump(to_dict(read(path)), out, ensure_ascii=False, indent=2)
    out.write("\n")
    out.detach()


def _csv(path: str) -> None:
    import csv

    from .. import _keys
    from ..conversions import document_rows

    out = _utf8_stdout()
    writer = csv.writer(out)
    writer.writerow(_keys.DOCUMENT_FIELDS)
    writer.writerows(document_rows(read(path).documents))
    out.detach()


def _convert(source: str, target: str, encoding: Optional[str], newline: str) -> None:
    import quorlane_py

    from ..errors import WriteError
    from ..text_conversion import convert

    data = read_bytes(source)
    try:
        converted = convert(data, encoding, "\r\n" if newline == "crlf" else "\n")
    except quorlane_py.ParseError:
        parse(source, data)  # raises Failed with the reader's own line
        raise
    except WriteError as error:
        raise Failed(f"{source}:{error.line}:{error.column}: {error.message}") from None
    if target == "-":
        sys.stdout.buffer.write(converted)
        return
    try:
        with open(target, "wb") as out:
            out.write(converted)
    except OSError as error:
        raise Failed(f"{target}: {error.strerror or error}") from None


def main(argv: Optional[Sequence[str]] = None) -> int:
    args = _parser().parse_args(argv)
    try:
        if args.command == "show":
            _show(args.file)
        elif args.command == "json":
            _json(args.file)
        elif args.command == "csv":
            _csv(args.file)
        elif args.command == "check":
            return check.run(args.paths, args.pattern, args.jobs)
        elif args.command == orders.COMMAND:
            return orders.run(args)
        elif args.command == parquet.COMMAND:
            return parquet.run(args)
        else:
            _convert(args.input, args.output, args.encoding, args.newline)
    except Failed as failure:
        print(failure, file=sys.stderr)
        return 1
    return 0
