"""The one exception of the writers."""

from __future__ import annotations


class WriteError(ValueError):
    """A value, key or statement that the 1CClientBankExchange format cannot hold as it stands.

    `section` names where it is ("header", 'account "40702810..."', "document 3" counting from 1, "line 7" for
    a statement's own text, or "statement" for the file as a whole), `key` the key concerned (None when none
    is), `position` the index of the offending character in the value or key (None when the problem is not one
    character), `line` and `column` the place of the character in a statement's text (counting from 1; None
    where the problem is not in a text that has lines), and `message` the fixed English text; str() of the
    error is "section: message".
    """

    def __init__(self, section: str, key: str | None, message: str, position: int | None = None, *,
                 line: int | None = None, column: int | None = None) -> None:
        super().__init__(f"{section}: {message}")
        self.section = section
        self.key = key
        self.message = message
        self.position = position
        self.line = line
        self.column = column

    def __reduce__(self):  # type: ignore[no-untyped-def]
        # Problems found in a worker process reach the parent intact.
        return (_rebuild, (type(self), self.section, self.key, self.message, self.position, self.line, self.column))


def _rebuild(cls, section, key, message, position, line, column):  # type: ignore[no-untyped-def]
    return cls(section, key, message, position, line=line, column=column)
