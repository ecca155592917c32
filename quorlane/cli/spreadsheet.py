"""What a spreadsheet makes of a statement's values, for the outputs meant for one (`csv --excel`, `xlsx`):
amounts as numbers only where a spreadsheet number holds them exactly, texts never read as numbers, dates or
formulas."""

from __future__ import annotations

from typing import Callable

from .._keys import DOCUMENT_TABLE

# A spreadsheet number is a double, and spreadsheets show and keep 15 significant digits of it: an amount of at
# most 15 significant digits comes back exactly (a double holds any 15-digit decimal); a longer one would not.
NUMBER_DIGITS = 15


def holds_amount(amount: str) -> bool:
    """Whether a spreadsheet number holds the amount exactly (to the last written digit)."""
    return len(amount.lstrip("+-").replace(".", "").strip("0")) <= NUMBER_DIGITS


def scale(amount: str) -> int:
    """The amount's fractional digits as written."""
    point = amount.find(".")
    return 0 if point < 0 else len(amount) - point - 1


def protected(text: str) -> str:
    """The text as a CSV cell that a spreadsheet keeps as text: one that begins with a letter is taken as it is;
    any other (a code with its leading zeros, a number, a date, and a formula: =, +, -, @, a tab, a carriage
    return) would be converted or evaluated, and is written after an apostrophe, as the common guidance against
    formula injection has it. The spreadsheet shows the apostrophe."""
    return text if not text or text[0].isalpha() else "'" + text


def csv_amount(amount: str) -> str:
    """An amount as a Russian-locale spreadsheet reads a number (a decimal comma), where a number holds it; as
    protected text where it does not."""
    return amount.replace(".", ",") if holds_amount(amount) else protected(amount)


def _as_it_is(value: str) -> str:
    return value


def csv_cells() -> list[Callable[[str], str]]:
    """For each document field, in DOCUMENT_FIELDS order, what `csv --excel` writes of its value: amounts with a
    decimal comma, dates as YYYY-MM-DD (which spreadsheets read as dates in every locale), texts protected."""
    made = {"amount": csv_amount, "date": _as_it_is, "optional date": _as_it_is}
    return [made.get(kind, protected) for _, _, kind in DOCUMENT_TABLE]


def field_kinds() -> list[str]:
    """"text", "date" or "amount" for each document field, in DOCUMENT_FIELDS order."""
    return [kind.replace("optional ", "") for _, _, kind in DOCUMENT_TABLE]

