"""`quorlane parquet PATH... -o OUT`: the documents of many statements as one Parquet dataset, on every core."""

from __future__ import annotations

import argparse
import os
from contextlib import closing
from typing import Any, List, Optional, Tuple

from .check import Outcome, Report, add_file_arguments, files_to_read, outcomes
from .output import replaced_folder, require
from .reading import Failed, read_bytes, reading, refused, shown, warning_lines

COMMAND = "parquet"

# A part of the dataset holds the documents of statements of about this many bytes in all (or this many files),
# which one process reads and writes: large enough for Parquet's row groups, small enough to keep every core busy.
PART_BYTES = 64 << 20
PART_FILES = 256

# One part to write: its number, its statements, the folder to write it in, the amount columns' scale, and the
# dataset's folder as the user named it (for messages: the folder written in is a temporary one).
Part = Tuple[int, List[str], str, int, str]


def register(commands: Any) -> None:
    """Adds the command to the subcommands of the quorlane parser."""
    command = commands.add_parser(
        COMMAND, help="the documents of many statements as a Parquet dataset (needs pyarrow)",
        description="Read every statement named (files, and the files matching --pattern in folders) on every core "
                    "and write their documents, one row each with the file's name, as the Parquet files "
                    "part-NNNNN.parquet of the folder OUT. A file that does not read is listed as `quorlane check` "
                    "lists it and left out; exit status 1 when one is. The dataset is made under a temporary name "
                    "beside OUT and becomes OUT at the end: after a failure to write, Ctrl-C or SIGTERM there is "
                    "no OUT, or the empty folder that was there.")
    add_file_arguments(command)
    command.add_argument("-o", "--output", required=True, metavar="OUT", help="the dataset's folder (new or empty)")
    command.add_argument("--strict", action="store_true", help="a warning (a dropped document) fails the command "
                                                               "(exit status 1); the dataset is written all the same")
    command.add_argument("--amount-scale", type=int, default=2, choices=range(0, 39), metavar="DIGITS",
                         help="the fractional digits of the amount columns, the same in every part (default: 2); "
                              "a statement with an amount that needs more fails")
    command.set_defaults(func=run)


def run(args: argparse.Namespace, out: Any = None, err: Any = None) -> int:
    # Only looked for: pyarrow is imported by the processes that write, never here, where its threads would be
    # forked into every process and would take the signals (Ctrl-C, SIGTERM) meant for this one's main thread.
    require("pyarrow", "pyarrow", COMMAND, "arrow")
    listing = files_to_read(args.paths, args.pattern)
    with replaced_folder(args.output) as folder:
        parts = [(number, group, folder, args.amount_scale, args.output)
                 for number, group in enumerate(_groups(listing.files))]
        with Report(listing, out, err) as report, \
                closing(outcomes(parts, args.jobs or os.cpu_count() or 1, write_part, elsewhere=True)) as results:
            for part in results:
                for outcome in part:
                    report.add(outcome)
    print(f"{report.totals.summary(balances=False, strict=args.strict)}; written to {args.output}", file=report.out)
    return report.totals.status(args.strict)


def _groups(files: list[str]) -> list[list[str]]:
    """The files in order, cut into parts of about PART_BYTES of input (or PART_FILES files)."""
    groups: list[list[str]] = []
    size = 0
    for path in files:
        try:
            length = os.path.getsize(path)
        except OSError:
            length = 0  # fails when it is read, as a file
        if not groups or size + length > PART_BYTES or len(groups[-1]) >= PART_FILES:
            groups.append([])
            size = 0
        groups[-1].append(path)
        size += length
    return groups


def _table(path: str, scale: int) -> Tuple[Outcome, Optional[Any]]:
    from ..errors import TableError
    from ..table import read_table

    notes: list[str] = []
    try:
        data = read_bytes(path)
        with reading(path, notes):
            table = read_table(data, name=path, amount_scale=scale)
    except Failed as failed:
        return Outcome(str(failed)), None
    except TableError as error:
        return Outcome(shown(f"{path}:{error.line}: {error.message}")), None
    return Outcome(None, len(table), warning_lines(path, table.warnings), notes=tuple(notes)), table


def write_part(part: Part) -> list[Outcome]:
    """Reads the statements of one part and writes the documents of those that read as one Parquet file; the
    outcome of each statement. A part that cannot be written fails the whole command (Failed)."""
    import pyarrow as pa
    import pyarrow.parquet as pq

    number, files, folder, scale, dataset = part
    results: list[Outcome] = []
    tables = []
    for path in files:
        result, table = _table(path, scale)
        results.append(result)
        if table is not None:
            tables.append(pa.table(table))
    if tables:
        name = f"part-{number:05}.parquet"
        try:
            pq.write_table(pa.concat_tables(tables), os.path.join(folder, name))
        except OSError as error:
            raise refused(os.path.join(dataset, name), error) from None
    return results
