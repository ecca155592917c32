"""Reads bank statements in the 1CClientBankExchange format: `parse` and the classes of its results and errors.

These docstrings are the stub's, for the API reference and editors; the module's own, in Russian, are those its
interface fixes.
"""

from collections.abc import Callable, Sequence
from typing import Any, ClassVar, final

__all__ = [
    "Interval",
    "Account",
    "Document",
    "Statement",
    "SectionType",
    "UnexpectedSection",
    "UnexpectedAttribute",
    "UnrecognizedLine",
    "MissingField",
    "AccountParseError",
    "DocumentParseError",
    "HookError",
    "parse",
    "ParseError",
    "NotStatementError",
    "EmptyInputError",
    "UnfinishedError",
    "SyntaxError",
]

@final
class Interval:
    """One account section (`СекцияРасчСчет`): an interval of an account. Dates are "YYYY-MM-DD", amounts decimal
    strings with their scale as written; what the section leaves out is None."""

    @property
    def date_start(self) -> str:
        """`ДатаНачала`."""
    @property
    def date_end(self) -> str | None:
        """`ДатаКонца`."""
    @property
    def start_amount(self) -> str:
        """`НачальныйОстаток`, the opening balance."""
    @property
    def end_amount(self) -> str | None:
        """`КонечныйОстаток`, the closing balance."""
    @property
    def total_income(self) -> str | None:
        """`ВсегоПоступило`."""
    @property
    def total_expense(self) -> str | None:
        """`ВсегоСписано`."""
    def __eq__(self, value: object, /) -> bool: ...
    def __ne__(self, value: object, /) -> bool: ...
    __hash__: ClassVar[None]  # type: ignore[assignment]

@final
class Account:
    """An account of the statement and its intervals."""

    @property
    def number(self) -> str:
        """The account number (`РасчСчет`)."""
    @property
    def intervals(self) -> list[Interval]:
        """One per account section of this account, in order of their start date."""
    def __eq__(self, value: object, /) -> bool: ...
    def __ne__(self, value: object, /) -> bool: ...
    __hash__: ClassVar[None]  # type: ignore[assignment]

@final
class Document:
    """A document section that was converted: 26 attributes, each from one key. Required ones are never None."""

    @property
    def doc_number(self) -> str:
        """`Номер`."""
    @property
    def doc_type(self) -> str:
        """The document's kind, the text after `СекцияДокумент=` (e.g. "Платежное поручение")."""
    @property
    def doc_date(self) -> str:
        """`Дата`, as YYYY-MM-DD."""
    @property
    def amount(self) -> str:
        """`Сумма`, a decimal string with its scale as written."""
    @property
    def purpose(self) -> str:
        """`НазначениеПлатежа`."""
    @property
    def payment_type(self) -> str | None:
        """`ВидОплаты`."""
    @property
    def ordering(self) -> str | None:
        """`Очередность`."""
    @property
    def counterparty_inn(self) -> str:
        """The payer's `ПлательщикИНН` (counterparty_* is always the payer)."""
    @property
    def counterparty_kpp(self) -> str | None:
        """`ПлательщикКПП`."""
    @property
    def counterparty_bic(self) -> str:
        """`ПлательщикБИК`."""
    @property
    def counterparty_bank1(self) -> str:
        """`ПлательщикБанк1`."""
    @property
    def counterparty_account(self) -> str:
        """`ПлательщикСчет`."""
    @property
    def counterparty(self) -> str | None:
        """`Плательщик`."""
    @property
    def counterparty_1(self) -> str | None:
        """`Плательщик1`."""
    @property
    def counterparty_ras_account(self) -> str | None:
        """`ПлательщикРасчСчет`."""
    @property
    def counterparty_cor_account(self) -> str | None:
        """`ПлательщикКорсчет`."""
    @property
    def outcome_date(self) -> str | None:
        """`ДатаСписано`, as YYYY-MM-DD."""
    @property
    def payee_inn(self) -> str:
        """The recipient's `ПолучательИНН`."""
    @property
    def payee(self) -> str | None:
        """`Получатель`."""
    @property
    def payee_account(self) -> str:
        """`ПолучательСчет`."""
    @property
    def payee_kpp(self) -> str | None:
        """`ПолучательКПП`."""
    @property
    def payee_bic(self) -> str:
        """`ПолучательБИК`."""
    @property
    def payee_bank1(self) -> str:
        """`ПолучательБанк1`."""
    @property
    def payee_ras_account(self) -> str | None:
        """`ПолучательРасчСчет`."""
    @property
    def payee_cor_account(self) -> str | None:
        """`ПолучательКорсчет`."""
    @property
    def income_date(self) -> str | None:
        """`ДатаПоступило`, as YYYY-MM-DD."""
    def __eq__(self, value: object, /) -> bool: ...
    def __ne__(self, value: object, /) -> bool: ...
    __hash__: ClassVar[None]  # type: ignore[assignment]

@final
class Statement:
    """What `parse` returns."""

    @property
    def encoding(self) -> str:
        """What the input was read as: "utf-8" or "cp1251"."""
    @property
    def header(self) -> dict[str, str]:
        """The header's keys and values as written, in file order (a repeated key with its last value)."""
    @property
    def accounts(self) -> dict[str, Account]:
        """Each account by its number."""
    @property
    def documents(self) -> list[Document]:
        """The documents in file order."""
    @property
    def warnings(self) -> list[tuple[int, str]]:
        """(lineno, message) for each document section that could not be converted, at its closing line."""

@final
class SectionType:
    """The kind of section a hook is called for: `SectionType.Document` or `SectionType.Account`."""

    Document: ClassVar[SectionType]
    Account: ClassVar[SectionType]
    def __int__(self) -> int: ...
    def __eq__(self, value: object, /) -> bool: ...
    def __ne__(self, value: object, /) -> bool: ...
    __hash__: ClassVar[None]  # type: ignore[assignment]

@final
class UnexpectedSection:
    """The detail of a `SyntaxError`. A section marker where it cannot be: `found` the marker, `context` where the reader was."""

    def __new__(cls, lineno: int, found: str, context: str) -> UnexpectedSection: ...
    @property
    def lineno(self) -> int: ...
    @property
    def found(self) -> str: ...
    @property
    def context(self) -> str: ...
    def __getnewargs__(self) -> tuple[int, str, str]: ...

@final
class UnexpectedAttribute:
    """The detail of a `SyntaxError`. A key=value line where none can be (after КонецФайла)."""

    def __new__(cls, lineno: int, key: str, value: str) -> UnexpectedAttribute: ...
    @property
    def lineno(self) -> int: ...
    @property
    def key(self) -> str: ...
    @property
    def value(self) -> str: ...
    def __getnewargs__(self) -> tuple[int, str, str]: ...

@final
class UnrecognizedLine:
    """The detail of a `SyntaxError`. A line that is neither a marker nor key=value."""

    def __new__(cls, lineno: int, line: str) -> UnrecognizedLine: ...
    @property
    def lineno(self) -> int: ...
    @property
    def line(self) -> str: ...
    def __getnewargs__(self) -> tuple[int, str]: ...

@final
class MissingField:
    """The detail of a `SyntaxError`. An account section without its account number: `field` РасчСчет, `context` account."""

    def __new__(cls, lineno: int, field: str, context: str) -> MissingField: ...
    @property
    def lineno(self) -> int: ...
    @property
    def field(self) -> str: ...
    @property
    def context(self) -> str: ...
    def __getnewargs__(self) -> tuple[int, str, str]: ...

@final
class AccountParseError:
    """The detail of a `SyntaxError`. An account section whose values cannot be read (a missing or malformed balance or date)."""

    def __new__(cls, lineno: int, message: str) -> AccountParseError: ...
    @property
    def lineno(self) -> int: ...
    @property
    def message(self) -> str: ...
    def __getnewargs__(self) -> tuple[int, str]: ...

@final
class DocumentParseError:
    """The detail of a `SyntaxError`. Never raised by `parse`: a document that cannot be converted is a warning."""

    def __new__(cls, lineno: int, message: str) -> DocumentParseError: ...
    @property
    def lineno(self) -> int: ...
    @property
    def message(self) -> str: ...
    def __getnewargs__(self) -> tuple[int, str]: ...

@final
class HookError:
    """The detail of a `SyntaxError`. A hook raised: `message` is the exception's type and text, `lineno` the section's closing line."""

    def __new__(cls, lineno: int, message: str) -> HookError: ...
    @property
    def lineno(self) -> int: ...
    @property
    def message(self) -> str: ...
    def __getnewargs__(self) -> tuple[int, str]: ...

_Hook = Callable[[SectionType, dict[str, str], dict[str, str]], object]

def parse(statement: bytes | str, hooks: Sequence[_Hook] | None = None) -> Statement:
    """Reads a statement from bytes (UTF-8 or windows-1251, detected; a byte order mark chooses UTF-8 or UTF-16)
    or a str.

    Each hook is called as `hook(section_type, attrs, header)` for every account and document section before it
    is converted; what `attrs` holds when the hook returns is converted, `header` is a copy, the return value is
    ignored. Raises NotStatementError, UnfinishedError or SyntaxError (its `detail` says which line and why), and
    TypeError for a statement that is neither bytes nor str.
    """

class ParseError(Exception):
    """The base of every error `parse` raises."""

class NotStatementError(ParseError):
    """The input is not a statement: its first line is not 1CClientBankExchange, or it is empty."""

class EmptyInputError(ParseError):
    """Never raised by `parse` (an empty input is NotStatementError); there for callers."""

class UnfinishedError(ParseError):
    """The input ends before КонецФайла."""

class SyntaxError(ParseError):
    """A line or section where it cannot be, an account section that cannot be read, or a hook that raised. Not
    the built-in SyntaxError."""

    detail: (
        UnexpectedSection
        | UnexpectedAttribute
        | UnrecognizedLine
        | MissingField
        | AccountParseError
        | DocumentParseError
        | HookError
    )
