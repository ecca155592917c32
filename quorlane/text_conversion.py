"""A statement's own text in another encoding or with other line ends: every line kept, nothing else changed."""

from __future__ import annotations

from collections.abc import Callable
from typing import Any, Optional, Union

from . import _accel
from ._text import CONVERT_ENCODINGS, check_newline, encoding_name
from .statement_reading import package_reading

__all__ = ["convert"]


def convert(statement: Union[bytes, str], encoding: Optional[str] = None, newline: str = "\r\n") -> bytes:
    """The statement's own text in `encoding` ("utf-8", "cp1251" or "cp866", DOS; by default the one it is written
    in), each line ended by `newline` ("\\r\\n" or "\\n").

    The statement is read once, as the package reads (as quorlane_py.parse reads it, its exceptions as they are
    with their `diagnosis`; and a statement that begins with a UTF-8 byte order mark or declares Кодировка=DOS in
    cp866), and every line of its text is written as it stands: blank lines, unknown and repeated keys, the
    header's "Кодировка" line and the blank lines after "КонецФайла" (the only lines the reader allows there)
    included; only the encoding and the line ends change (a byte order mark is not text and is not written: a
    ByteOrderMarkWarning says so). What the target cannot keep raises WriteError with the line and column: a
    character windows-1251 or cp866 lacks, or a line that ends in a carriage return, which line feeds alone would
    take away. Single-byte text that would not be read back as it is written raises WriteError too, with no line
    or column (line and column None): text the reader would not take for a statement (too little of its start is
    letters, digits and punctuation), cp866 whose header does not declare Кодировка=DOS (read back as
    windows-1251), or (never in practice) windows-1251 that holds the cp866 bytes of that declaration. Converting
    to another encoding and back gives the same text again.
    """
    newline = check_newline(newline)
    target = None if encoding is None else encoding_name(encoding, CONVERT_ENCODINGS)
    with package_reading(statement, writing=True):
        return _accel.convert(statement, target, newline)


def write_converted(statement: Union[bytes, str], write: Callable[[bytes], Any], encoding: Optional[str] = None,
                    newline: str = "\r\n") -> None:
    """What convert returns, handed to write(bytes) in pieces (of about a MiB) as it is made, so that no more than a
    piece of it is held at a time. The statement is read to the reader's verdict first: its exceptions come before
    any piece; a WriteError may come after some. An exception that write raises ends the conversion."""
    newline = check_newline(newline)
    target = None if encoding is None else encoding_name(encoding, CONVERT_ENCODINGS)
    with package_reading(statement, writing=True):
        _accel.write_converted(statement, target, newline, write)
