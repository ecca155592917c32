"""The quorlane command line (also `python -m quorlane`)."""

from __future__ import annotations

import argparse
import sys
from typing import Any, Optional, Sequence

from . import check, convert, export, orders, parquet, show, streams, xlsx
from .reading import Failed

# Each command is a module with register(commands), which adds its parser and sets `func`, the function that runs
# it and gives the exit status. The writers and conversions are imported by the commands that use them, to keep
# the start of the others short.
COMMANDS = (show, export, check, orders, parquet, xlsx, convert)

EXAMPLES = """\
examples:
  quorlane show                       the sample statement shipped with the package
  quorlane show kl_to_1c.txt          encoding, header, accounts, documents, warnings
  quorlane json kl_to_1c.txt > s.json everything as JSON (amounts as strings, dates as YYYY-MM-DD)
  cat kl_to_1c.txt | quorlane json -  the same from standard input
  quorlane json --lines s.txt | jq .amount   one JSON object per document
  quorlane csv kl_to_1c.txt > d.csv   the documents, one row each
  quorlane csv --excel s.txt > d.csv  for a Russian-locale spreadsheet (codes after an apostrophe: see csv --help)
  quorlane xlsx s.txt -o d.xlsx       an Excel workbook: codes as text, amounts as numbers, dates as dates
  quorlane csv --all-keys s.txt       every key of each document (ПоказательКБК, Код, ...) as a column too
  quorlane check statements/          every *.txt (any case) below the folder, on every core
  quorlane check --balances s.txt     balances and documents reconciled
  quorlane parquet statements/ -o ds/ the documents of every statement as one Parquet dataset
  quorlane convert in.txt out.txt --encoding utf-8   every line as it stands, in UTF-8
  quorlane check-orders 1c_to_kl.txt  the payment orders as the bank checks them

exit status: 0 fine, 1 a statement could not be read or written, an order has an error or a check failed,
2 wrong usage, 130 interrupted (Ctrl-C), 141 the reader of the output went away (a closed pipe), 143 terminated
(SIGTERM)
"""


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
    for command in COMMANDS:
        command.register(commands)
    return parser


def main(argv: Optional[Sequence[str]] = None) -> int:
    """The command line; its exit status. Whatever the user's situation (a bad file, a closed pipe, Ctrl-C,
    SIGTERM, a terminal that lacks a character), the user gets a line, not a traceback."""
    if sys.stdout is None:  # started with its standard output closed (`>&-`): Python gives no stream then
        print("quorlane: standard output is closed", file=sys.stderr)
        return 1
    with streams.sigterm_raises():
        try:
            streams.tolerant_text_streams()
            args = _parser().parse_args(argv)
            status: int = args.func(args)
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
        except streams.Terminated:
            print("quorlane: terminated", file=sys.stderr)
            return streams.TERMINATED_STATUS
        except OSError as error:  # what writing the output met: a full disk, a device gone
            print(f"quorlane: {error.strerror or error}", file=sys.stderr)
            return 1
