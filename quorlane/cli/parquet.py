"""`quorlane parquet PATH... -o OUT`: the documents of many statements as one Parquet dataset, on every core."""

from __future__ import annotations

import argparse
import importlib.util
import os
import sys
from pathlib import Path
from typing import Any, List, Optional, Tuple

from .check import Outcome, Progress, Totals, jobs_count, outcomes, statement_files
from .reading import Failed, failure, read_bytes

COMMAND = "parquet"

# A part of the dataset holds the documents of statements of about this many bytes in all (or this many files),
# which one process reads and writes: large enough for Parquet's row groups, small enough to keep every core busy.
PART_BYTES = 64 << 20
PART_FILES = 256

# One part to write: its number, its statements, the dataset's folder, the amount columns' scale.
Part = Tuple[int, List[str], str, int]


def register(commands: Any) -> None:
    """Adds the command to the subcommands of the quorlane parser."""
    command = commands.add_parser(
        COMMAND, help="the documents of many statements as a Parquet dataset (needs pyarrow)",
        description="Read every statement named (files, and the files matching --pattern in folders) on every core "
                    "and write their documents, one row each with the file's name, as the Parquet files "
                    "part-NNNNN.parquet of the folder OUT. A file that does not read is listed as `quorlane check` "
                    "lists it and left out; exit status 1 when one is.")
    command.add_argument("paths", nargs="+", metavar="PATH", help="statement files and folders")
    command.add_argument("-o", "--output", required=True, metavar="OUT", help="the dataset's folder (new or empty)")
    command.add_argument("--pattern", default="*.txt", help="the files to read in folders (default: *.txt)")
    command.add_argument("--jobs", type=jobs_count, default=None, help="processes (default: one per core)")
    command.add_argument("--amount-scale", type=int, default=2, choices=range(0, 39), metavar="DIGITS",
                         help="the fractional digits of the amount columns, the same in every part (default: 2); "
                              "a statement with an amount that needs more fails")


def run(args: argparse.Namespace, out: Any = None, err: Any = None) -> int:
    out = out or sys.stdout
    err = err or sys.stderr
    # Only looked for: imported here, pyarrow's threads would be forked into every process.
    if _find_spec("pyarrow") is None:
        raise Failed("quorlane parquet needs pyarrow: pip install 'quorlane[arrow]'")
    folder = _dataset_folder(args.output)
    files = list(statement_files(args.paths, args.pattern))
    parts = [(number, group, folder, args.amount_scale) for number, group in enumerate(_groups(files))]
    progress = Progress(err, len(files))
    totals = Totals(len(files))
    done = 0
    try:
        for results in outcomes(parts, args.jobs or os.cpu_count() or 1, write_part):
            for outcome in results:
                lines = [outcome.failure] if outcome.failure is not None else list(outcome.warnings)
                if lines:
                    progress.clear()
                    print("\n".join(lines), file=out, flush=True)
                totals.add(outcome)
            done += len(results)
            progress.update(done)
    finally:
        progress.clear()
    print(f"{totals.summary(balances=False, strict=False)}; written to {folder}", file=out)
    return 1 if totals.failed else 0


def _find_spec(name: str) -> object:
    try:
        return importlib.util.find_spec(name)
    except (ImportError, ValueError):  # a module set to None in sys.modules
        return None


def _dataset_folder(path: str) -> str:
    """The dataset's folder, made when it is missing; one that holds anything is refused, so that no part of an
    earlier dataset is mixed in."""
    folder = Path(path)
    try:
        folder.mkdir(parents=True, exist_ok=True)
        if any(folder.iterdir()):
            raise Failed(f"{path}: the folder is not empty")
    except OSError as error:
        raise Failed(f"{path}: {error.strerror or error}") from None
    return path


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
    import quorlane_py

    from ..errors import TableError
    from ..table import read_table

    try:
        table = read_table(read_bytes(path), name=path, amount_scale=scale)
    except Failed as failed:
        return Outcome(str(failed)), None
    except quorlane_py.ParseError as error:
        return Outcome(str(failure(path, error))), None
    except TableError as error:
        return Outcome(f"{path}:{error.line}: {error.message}"), None
    warnings = tuple(f"{path}:{lineno}: warning: {message}" for lineno, message in table.warnings)
    return Outcome(None, len(table), warnings), table


def write_part(part: Part) -> list[Outcome]:
    """Reads the statements of one part and writes the documents of those that read as one Parquet file (written
    under another name first, so that a part is whole or missing); the outcome of each statement."""
    import pyarrow as pa
    import pyarrow.parquet as pq

    number, files, folder, scale = part
    results: list[Outcome] = []
    tables = []
    for path in files:
        result, table = _table(path, scale)
        results.append(result)
        if table is not None:
            tables.append(pa.table(table))
    if tables:
        target = os.path.join(folder, f"part-{number:05}.parquet")
        try:
            pq.write_table(pa.concat_tables(tables), target + ".tmp")
            os.replace(target + ".tmp", target)
        except OSError as error:
            written = f"{target}: {error.strerror or error}"
            results = [Outcome(written) if result.failure is None else result for result in results]
    return results
