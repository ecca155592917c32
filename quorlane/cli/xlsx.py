"""`quorlane xlsx FILE... -o OUT.xlsx`: the documents of statements as an Excel workbook, each cell of the type
its value is: codes and names as text, amounts as numbers, dates as dates; never a formula.

Written with XlsxWriter: it writes the format and nothing else (no reading, no formula evaluation), cell by cell
with the type named by the call (write_string is text whatever the text says), and in its constant_memory mode
it streams rows to disk, so that a statement of 100,000 documents does not sit in memory as cell objects."""

from __future__ import annotations

import argparse
import io
from datetime import date
from typing import Any, Optional

from .._keys import DOCUMENT_FIELDS
from . import spreadsheet
from .check import Outcome, Report, files_to_read
from .output import replaced_file, require
from .reading import Failed, dropped, read, shown, warning_lines

COMMAND = "xlsx"

# What one sheet holds: rows (the header's included) and characters in a cell.
SHEET_ROWS = 1_048_576
CELL_CHARACTERS = 32_767
# Dates before this day are text: spreadsheets count 1900 as a leap year, so that earlier serials are a day off.
FIRST_DATE = date(1900, 3, 1)
# Widths follow the texts of the first rows, within bounds.
WIDTH_ROWS = 1000
WIDTHS = (6, 60)
_NUMBER = DOCUMENT_FIELDS.index("doc_number")


def register(commands: Any) -> None:
    """Adds the command to the subcommands of the quorlane parser."""
    command = commands.add_parser(
        COMMAND, help="the documents of statements as an Excel workbook (needs XlsxWriter)",
        description="Write the documents of the statements, one row each, as the sheet 'documents' of the workbook "
                    "OUT.xlsx: codes (BIC, INN, KPP, accounts, numbers, КБК, ОКТМО, УИН), names and purposes as "
                    "text cells, amounts as numbers with two decimals shown (an amount of more than 15 "
                    "significant digits, which a spreadsheet number cannot hold, as text), dates as date cells "
                    "(before 1900-03-01 as text); no cell is a formula. A 'file' column comes first when there are "
                    "several files. The header row is frozen and filtered. The sheet 'warnings' lists the "
                    "documents the reader dropped, with the key and value that dropped each. A file that does not "
                    "read is listed as `quorlane check` lists it and left out. OUT.xlsx is written under a "
                    "temporary name and renamed at the end.")
    command.add_argument("paths", nargs="+", metavar="FILE",
                         help="the statements (- = stdin; a folder gives its files that match --pattern)")
    command.add_argument("-o", "--output", required=True, metavar="OUT.xlsx", help="the workbook to write")
    command.add_argument("--pattern", default="*.txt",
                         help="the names of the files to read in folders, in any case (default: *.txt)")
    command.add_argument("--strict", action="store_true", help="a warning (a document the reader dropped) fails "
                                                               "the command (exit status 1); the workbook is "
                                                               "written all the same")
    command.set_defaults(func=run)


def run(args: argparse.Namespace, out: Any = None, err: Any = None) -> int:
    require("xlsxwriter", "XlsxWriter", COMMAND, "excel")
    import shutil
    import tempfile

    from xlsxwriter.exceptions import XlsxFileError

    listing = files_to_read(args.paths, args.pattern)
    scratch = tempfile.mkdtemp(prefix="quorlane-xlsx-")  # XlsxWriter's rows until the workbook is put together
    try:
        with replaced_file(args.output) as temporary, _WorkbookFile(temporary, "wb") as file:
            book = _Workbook(file, scratch, several=len(listing.files) > 1)
            with Report(listing, out, err) as report:
                for path in listing.files:
                    report.add(book.add(path))
            book.close()
    except (OSError, XlsxFileError) as error:  # a full disk, a file too large; XlsxWriter wraps what it meets
        cause = error.__context__ if isinstance(error, XlsxFileError) else error
        raise Failed(shown(f"{args.output}: {getattr(cause, 'strerror', None) or cause}")) from None
    finally:
        shutil.rmtree(scratch, ignore_errors=True)
    print(f"{report.totals.summary(balances=False, strict=args.strict)}; written to {args.output}", file=report.out)
    return report.totals.status(args.strict)


class _WorkbookFile(io.FileIO):
    """The file XlsxWriter's zip archive is written to, unbuffered, so that a write that fails (a full disk) fails
    at once. Every byte is written. After a failure, or once closed, the file takes anything and does nothing: where
    a write fails (here, or in XlsxWriter's scratch files) XlsxWriter gives up without closing its archive, which
    would otherwise fail again when it is collected, and print a traceback."""

    failed = False

    @property
    def _done(self) -> bool:
        return self.failed or self.closed

    def seek(self, offset: int, whence: int = io.SEEK_SET) -> int:
        return 0 if self._done else super().seek(offset, whence)

    def tell(self) -> int:
        return 0 if self._done else super().tell()

    def flush(self) -> None:
        if not self._done:
            super().flush()

    def write(self, data: Any) -> int:
        if self._done:
            return len(data)
        view = memoryview(data).cast("B")
        try:
            while view:
                view = view[super().write(view) or 0:]
        except OSError:
            self.failed = True
            raise
        return len(data)


class _Workbook:
    """The workbook as it is written: the documents sheet row by row, the warnings kept for their sheet."""

    def __init__(self, file: _WorkbookFile, scratch: str, several: bool) -> None:
        import xlsxwriter

        self.book = xlsxwriter.Workbook(file, {
            "constant_memory": True, "tmpdir": scratch,
            # write_string is used for every text; these make sure that no other call ever reads one as more.
            "strings_to_numbers": False, "strings_to_formulas": False, "strings_to_urls": False})
        self.several = several
        self.kinds = (["text"] if several else []) + spreadsheet.field_kinds()
        header = (["file"] if several else []) + list(DOCUMENT_FIELDS)
        self.bold = self.book.add_format({"bold": True})
        self.date = self.book.add_format({"num_format": "dd.mm.yyyy"})
        self.amounts: dict[int, Any] = {}
        self.sheet = self.book.add_worksheet("documents")
        self.sheet.write_row(0, 0, header, self.bold)  # write_row of str: strings, as strings_to_* are off
        self.widths = [len(name) for name in header]
        self.row = 0
        self.warnings: list[list[Any]] = []

    def add(self, path: str) -> Outcome:
        """Reads the statement and writes its documents, or says why they are left out."""
        from ..conversions import document_rows

        notes: list[str] = []
        try:
            statement = read(path, notes)
        except Failed as failed:
            return Outcome(str(failed))
        rows = document_rows(statement.documents, list)
        too_long = _too_long(rows)
        if too_long is not None:
            return Outcome(f"{path}: {too_long}")
        if self.row + len(rows) >= SHEET_ROWS:
            raise Failed(f"{path}: more documents than a sheet holds ({SHEET_ROWS - 1:,} in all); quorlane parquet "
                         "holds any number")
        for values in rows:
            self.row += 1
            self._write_row([path, *values] if self.several else values, path)
        self.warnings.extend(([path] if self.several else []) + [w.lineno, w.message, w.key, w.value]
                             for w in dropped(statement))
        return Outcome(None, len(rows), warning_lines(path, dropped(statement)), notes=tuple(notes))

    def _write_row(self, values: list[Optional[str]], path: str) -> None:
        write = self.sheet
        for column, (value, kind) in enumerate(zip(values, self.kinds)):
            if value is None or value == "":
                continue
            if self.row <= WIDTH_ROWS:
                self.widths[column] = max(self.widths[column], len(value) + (4 if kind == "amount" else 0))
            if kind == "amount" and spreadsheet.holds_amount(value):
                write.write_number(self.row, column, float(value), self._amount_format(spreadsheet.scale(value)))
                continue
            if kind == "date":
                day = _date(value)
                if day is not None:
                    write.write_datetime(self.row, column, day, self.date)
                    continue
            if kind == "amount":
                number = values[_NUMBER + self.several]
                self.warnings.append(([path] if self.several else []) + [None, (
                    f"document {number}: the amount {value} is text: it has more than "
                    f"{spreadsheet.NUMBER_DIGITS} significant digits, which a spreadsheet number cannot hold"),
                    None, None])
            write.write_string(self.row, column, value)

    def _amount_format(self, scale: int) -> Any:
        shown = max(2, scale)
        if shown not in self.amounts:
            self.amounts[shown] = self.book.add_format({"num_format": "#,##0." + "0" * shown})
        return self.amounts[shown]

    def close(self) -> None:
        """The filter, frozen header and widths; the warnings sheet; then the workbook is put together."""
        columns = len(self.kinds)
        _finish(self.sheet, self.row, columns, self.widths)
        notes = self.book.add_worksheet("warnings")
        header = (["file"] if self.several else []) + ["line", "message", "key", "value"]
        notes.write_row(0, 0, header, self.bold)
        widths = [len(name) for name in header]
        for row, values in enumerate(self.warnings, start=1):
            for column, value in enumerate(values):
                if isinstance(value, int):
                    notes.write_number(row, column, value)
                elif value is not None:
                    notes.write_string(row, column, value)
                    widths[column] = max(widths[column], len(value))
        _finish(notes, len(self.warnings), len(header), widths)
        self.book.close()


def _finish(sheet: Any, rows: int, columns: int, widths: list[int]) -> None:
    sheet.freeze_panes(1, 0)
    sheet.autofilter(0, 0, rows, columns - 1)
    for column, width in enumerate(widths):
        sheet.set_column(column, column, min(max(width + 2, WIDTHS[0]), WIDTHS[1]))


def _date(iso: str) -> Optional[date]:
    """The day of a YYYY-MM-DD date when a spreadsheet's date holds it."""
    try:
        day = date.fromisoformat(iso)
    except ValueError:  # a year the reader reads and Python's dates do not (0, or beyond 9999)
        return None
    return day if day >= FIRST_DATE else None


def _too_long(rows: list[list[Optional[str]]]) -> Optional[str]:
    """Why a document does not fit the sheet: a text longer than a cell holds (which XlsxWriter would cut)."""
    for values in rows:
        for field, value in zip(DOCUMENT_FIELDS, values):
            if value is not None and len(value) > CELL_CHARACTERS:
                return (f"document {values[_NUMBER]}: {field} holds {len(value):,} characters, more than a spreadsheet "
                        f"cell holds ({CELL_CHARACTERS:,})")
    return None

