"""The problems the package reports: WriteError, what the format or the bank refuses; OrderWarning, what is
written but is likely a mistake; and TableError, a value that read_table's columns cannot hold."""

from __future__ import annotations

from typing import Optional


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
    batch holds ("text-size"), or a key whose column would repeat a column's name or whose name holds NUL, which
    Arrow's names cannot hold ("column-name"). `line` and `column` are where the value starts in the statement's
    text; `section` is "line N"."""
