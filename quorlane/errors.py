"""The problems the package reports: WriteError, what the format or the bank refuses; OrderWarning, what is
written but is likely a mistake; TableError, a value that read_table's columns cannot hold; DroppedDocument, a
document the reader left out; and ByteOrderMarkWarning, a statement's mark that its reading read past."""

from __future__ import annotations

from typing import Any, Optional


class Problem:
    """What is wrong, as data: `level` ("error" or "warning"), `section` ("header", 'account "40702810..."',
    "document 3" counting from 1, "line 7" for a statement's own text, or "statement" for the file as a whole),
    `document` (that document number, or None), `key` the key concerned (None when none is), `field` its number
    on the payment order form (e.g. 60 for ПлательщикИНН; None when it has none), `code` a fixed identifier of
    the rule (e.g. "inn-check-digit"; "" for the problems of writing a statement), `position` the index of the
    offending character in the value or key (None when the problem is not one character), `line` and `column`
    the place of the character in a statement's text (counting from 1; None where the problem is not in a text
    that has lines), and `message` the fixed English text; str() is "section: message"."""

    level = "error"

    def __init__(self, section: str, key: Optional[str], message: str, position: Optional[int] = None, *,
                 line: Optional[int] = None, column: Optional[int] = None, code: str = "",
                 field: Optional[int] = None) -> None:
        self.section = section
        self.key = key
        self.message = message
        self.position = position
        self.line = line
        self.column = column
        self.code = code
        self.field = field
        number = section[len("document "):]
        self.document = int(number) if section.startswith("document ") and number.isdigit() else None

    def __str__(self) -> str:
        return f"{self.section}: {self.message}"

    def __repr__(self) -> str:
        return f"{type(self).__name__}({str(self)!r}, code={self.code!r})"

    def __reduce__(self):  # type: ignore[no-untyped-def]
        # Problems found in a worker process reach the parent intact.
        return (_rebuild, (type(self), self.section, self.key, self.message, self.position, self.line, self.column,
                           self.code, self.field))


def _rebuild(cls, section, key, message, position, line, column, code, field):  # type: ignore[no-untyped-def]
    return cls(section, key, message, position, line=line, column=column, code=code, field=field)


class WriteError(Problem, ValueError):
    """A value, key or statement that the 1CClientBankExchange format cannot hold as it stands, or a payment
    order the bank would return. The writers raise it; validate_outgoing returns it among its problems."""

    def __init__(self, section: str, key: Optional[str], message: str, position: Optional[int] = None, *,
                 line: Optional[int] = None, column: Optional[int] = None, code: str = "",
                 field: Optional[int] = None) -> None:
        Problem.__init__(self, section, key, message, position, line=line, column=column, code=code, field=field)
        ValueError.__init__(self, str(self))


class OrderWarning(Problem):
    """A payment order that is written but looks wrong: a custom not followed, a likely mistake, or a rule of
    the bank's that no source confirms. Never raised; validate_outgoing returns it among its problems."""

    level = "warning"


class TableError(Problem, ValueError):
    """A value of a statement that no column of its table can hold as it is (read_table raises it): an amount
    with more fractional digits than the amount columns' scale (code "amount-scale") or more digits than a 128-bit
    decimal holds ("amount-digits"), a date beyond date32 ("date-range"), a text beyond what a column of one
    batch holds ("text-size"), or a key whose name holds NUL, which Arrow's names cannot hold ("column-name"; a
    key named like another column gets a name of its own, "key:amount"). `line` and `column` are where the value
    starts in the statement's text; `section` is "line N"."""


class DroppedDocument(tuple):  # type: ignore[type-arg]
    """A document the reader dropped, as quorlane_py.Statement.warnings names it, the pair (lineno, message): its
    section's closing line and why; with the field that dropped it: `key`, and `value` as the section wrote it
    (None where the key is missing, which the message says). The package's readings give their warnings so
    (read_sections' statement, read_table's StatementTable): a DroppedDocument unpacks, compares and pickles as
    the pair, and str() is the message with the key and value in the quoted form, 'empty string is not a valid
    date (Дата="")', as the command line prints it."""

    key: str
    value: Optional[str]

    def __new__(cls, lineno: int, message: str, key: str, value: Optional[str] = None) -> DroppedDocument:
        self = super().__new__(cls, (lineno, message))
        self.key = key
        self.value = value
        return self

    @property
    def lineno(self) -> int:
        return int(self[0])

    @property
    def message(self) -> str:
        return str(self[1])

    def __getnewargs__(self) -> tuple[Any, ...]:  # pickle and copy: the key and value too
        return (self[0], self[1], self.key, self.value)

    def __str__(self) -> str:
        if self.value is None:
            return self.message
        from ._accel import quoted  # the extension imports this module: not at its top

        return f"{self.message} ({self.key}={quoted(self.value)})"


class ByteOrderMarkWarning(UserWarning):
    """A statement (bytes, or a str) that begins with a byte order mark: the package's reading functions read it
    after the mark (quorlane_py.parse refuses it, the mark being no part of the format's first line), and convert
    does not write it. Issued with warnings.warn, so that a program can record it, silence it or make it an error
    (warnings.simplefilter("error", ByteOrderMarkWarning)); the command line prints it as a note line."""
