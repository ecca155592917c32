"""quorlane: writing 1CClientBankExchange files, conversions and a command line, beside the reader quorlane_py.

- dumps(statement) / dump(statement, fp): a statement that quorlane_py.parse returned, written back so that it
  reads back equal: the 26 fields of each Document, not the keys a Document leaves out (convert keeps those).
- convert(data, encoding, newline): the statement's own text, every line kept, in another encoding or with other
  line ends.
- read_sections(data): every section as written (kind, document type, lines, every key in file order, repeated
  keys kept), beside the parsed statement. The package's reading functions read as quorlane_py.parse reads, and
  also a statement saved with a UTF-8 byte order mark and one in cp866 whose header declares Кодировка=DOS.
- read_table(data, name=..., extra_keys=..., amount_scale=...): the documents (and, as `intervals`, the accounts'
  intervals) as Arrow tables through the PyCapsule interface, for pyarrow, pandas, Polars and DuckDB;
  empty_table(...): the same columns without rows; TableError: a value no column can hold.
- OutgoingDocument, Party, Bank, Budget, Kind; validate_outgoing(documents) and dumps_outgoing(documents, ...)
  / dump_outgoing(...): payment orders for the bank (1c_to_kl.txt); single_tax_payment(...) and TAX_SERVICE:
  the single tax payment ready made; validate_order_pairs(pairs, kind=...): the checks on an order as read.
- read_bic_directory(path) -> BicDirectory: the Bank of Russia's БИК directory (ED807), for the checks of orders
  (directory=...) and to fill in their banks; DirectoryError: a file that is not one.
- to_dict(statement): the statement as a JSON-ready dict.
- diagnose(data, error): what a statement that quorlane_py.parse refused holds (a byte order mark, the byte that
  is not UTF-8, the last line read, ...); the package's reading functions raise the reader's exceptions with it
  as their `diagnosis`.
- WriteError: what the format cannot hold or the bank would return; OrderWarning: a likely mistake; both are
  Problem values with a level, document, key, form field number, code and message. DroppedDocument: a warning of
  the package's readings, the (lineno, message) pair with the key and value that dropped the document.
  ByteOrderMarkWarning: a statement's byte order mark, which the package's reading functions read past.
- The command line: `quorlane --help` or `python -m quorlane --help`.
"""

from __future__ import annotations

__version__ = "0.1.0"  # the distribution's version too: pyproject.toml reads it from here

import importlib
from typing import TYPE_CHECKING, Any

if TYPE_CHECKING:
    from .conversions import to_dict
    from .diagnosis import diagnose
    from .sections import Section, SectionReading, read_sections
    from .table import StatementTable, empty_table, read_table
    from .text_conversion import convert
    from .bic_directory import BicDirectory, DirectoryError, read_bic_directory
    from .budget_payments import TAX_SERVICE, single_tax_payment
    from .errors import ByteOrderMarkWarning, DroppedDocument, OrderWarning, Problem, TableError, WriteError
    from .payment_order_checks import validate_order_pairs, validate_outgoing
    from .payment_order_writer import dump_outgoing, dumps_outgoing
    from .payment_orders import Bank, Budget, Kind, OutgoingDocument, Party
    from .statement_writer import dump, dumps

# Each name is imported on its first use, so that `quorlane check` and other commands start without loading
# the writers and payment orders they do not need (startup is serial time before a pool of processes starts).
_HOMES = {
    "to_dict": "conversions", "diagnose": "diagnosis", "WriteError": "errors", "OrderWarning": "errors",
    "Problem": "errors", "TableError": "errors", "DroppedDocument": "errors", "ByteOrderMarkWarning": "errors",
    "read_table": "table", "empty_table": "table", "StatementTable": "table",
    "validate_outgoing": "payment_order_checks", "validate_order_pairs": "payment_order_checks",
    "single_tax_payment": "budget_payments", "TAX_SERVICE": "budget_payments",
    "dump_outgoing": "payment_order_writer", "dumps_outgoing": "payment_order_writer",
    "Bank": "payment_orders", "Budget": "payment_orders", "Kind": "payment_orders",
    "OutgoingDocument": "payment_orders", "Party": "payment_orders", "dump": "statement_writer",
    "dumps": "statement_writer", "convert": "text_conversion", "read_sections": "sections", "Section": "sections",
    "SectionReading": "sections", "read_bic_directory": "bic_directory", "BicDirectory": "bic_directory",
    "DirectoryError": "bic_directory",
}


def __getattr__(name: str) -> Any:
    home = _HOMES.get(name)
    if home is None:
        raise AttributeError(f"module {__name__!r} has no attribute {name!r}")
    value = getattr(importlib.import_module(f".{home}", __name__), name)
    globals()[name] = value
    return value


def __dir__() -> list[str]:
    return sorted(set(globals()) | set(_HOMES))


__all__ = [
    "dumps", "dump", "convert", "read_sections", "Section", "SectionReading", "read_table", "empty_table",
    "StatementTable", "WriteError", "OrderWarning", "Problem", "TableError", "DroppedDocument",
    "ByteOrderMarkWarning", "to_dict", "diagnose", "Kind", "Bank", "Party", "Budget", "OutgoingDocument",
    "validate_outgoing", "validate_order_pairs", "dumps_outgoing", "dump_outgoing", "single_tax_payment",
    "TAX_SERVICE", "read_bic_directory", "BicDirectory", "DirectoryError",
]
