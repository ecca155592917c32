"""A statement's own text in another encoding or with other line ends: every line kept, nothing else changed."""

from __future__ import annotations

from typing import Optional, Union

from . import _accel, diagnosis
from ._text import character, check_newline, encoding_name
from .errors import WriteError

__all__ = ["convert"]


def convert(statement: Union[bytes, str], encoding: Optional[str] = None, newline: str = "\r\n") -> bytes:
    """The statement's own text in `encoding` ("utf-8" or "cp1251"; by default the one it is written in), each
    line ended by `newline` ("\\r\\n" or "\\n").

    The statement is read with quorlane_py.parse first (its exceptions as they are, with their `diagnosis`).
    Then every line of its text is written as it stands: blank lines, unknown and repeated keys, the header's
    "Кодировка" line and the blank lines after "КонецФайла" (the only lines the reader allows there) included;
    only the encoding and the line ends change (a byte order mark is not text and is not written). What the
    target cannot keep raises WriteError with the line and column: a character windows-1251 lacks, or a line
    that ends in a carriage return, which line feeds alone would take away; windows-1251 text that the reader
    would not take for a statement (too little of its start is letters, digits and punctuation) raises
    WriteError too, with no line or column (line and column None). Converting to
    another encoding and back gives the same text again.
    """
    newline = check_newline(newline)
    parsed = diagnosis.parse(statement)
    target = encoding_name(encoding if encoding is not None else parsed.encoding)
    converted = _accel.convert(statement, target, newline)
    if isinstance(converted, bytes):
        return converted
    if converted is None:  # not reached for a statement that parse accepts
        raise ValueError("the statement's text could not be read")
    problem, line, column, code_point = converted
    if line is None or column is None or code_point is None:
        raise WriteError("statement", None, "the text in windows-1251 would not be read back as a statement: too "
                         "little of its start is letters, digits, punctuation and blanks")
    if problem == "unencodable":
        message = f"{character(chr(code_point))} at column {column} cannot be encoded in {target}"
    else:
        message = (f"the line ends with a carriage return (column {column}), which the reader takes away before "
                   'a line feed alone (newline="\\r\\n" keeps it)')
    raise WriteError(f"line {line}", None, message, column - 1, line=line, column=column)
