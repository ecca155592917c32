"""The package's reading of a statement, which read_sections, read_table, convert and every command share: the
reader's, with what the format itself allows beyond it.

- A statement (bytes, or a str) that begins with a byte order mark is read after the mark: as UTF-8 (a file
  whose bytes after the mark are not UTF-8 is refused as quorlane_py.parse refuses it); quorlane_py.parse takes
  the mark for part of the first line. A ByteOrderMarkWarning says so.
- Bytes that are not valid UTF-8 whose header declares `Кодировка=DOS` (the header's last Кодировка line, written
  in cp866: the lines before the first section, in the first 64 KiB) are read as cp866, `encoding` "cp866";
  quorlane_py.parse reads them as windows-1251 (and mostly refuses them).
- The reader's exceptions carry their `diagnosis`, and its warnings are DroppedDocument pairs that name the key
  and value that dropped each document.
"""

from __future__ import annotations

import codecs
import warnings
from collections.abc import Iterator
from contextlib import contextmanager
from typing import Union

import quorlane_py

from . import _accel
from .diagnosis import diagnosed
from .errors import ByteOrderMarkWarning

__all__ = ["package_reading", "read_statement"]


def read_statement(statement: Union[bytes, str]) -> quorlane_py.Statement:
    """The statement as quorlane_py.parse returns it, read as the package reads."""
    with package_reading(statement):
        return _accel.read_statement(statement)


@contextmanager
def package_reading(statement: Union[bytes, str], *, writing: bool = False) -> Iterator[None]:
    """Around one reading of `statement` by a function of _accel: the reader's exceptions with their diagnosis (the
    bytes are looked at again only when the reading has failed), then, for a statement read after its byte order
    mark, a ByteOrderMarkWarning (`writing`: convert's words, the mark not being written either)."""
    try:
        yield
    except quorlane_py.ParseError as error:
        raise diagnosed(error, statement) from None
    if statement[:1] == "\ufeff" or statement[:3] == codecs.BOM_UTF8:  # read, so read after the mark
        mark = "a byte order mark (U+FEFF)" if isinstance(statement, str) else "a UTF-8 byte order mark"
        done = "read after it, and the text written without it" if writing else "read after it"
        # The caller of the package's function: this generator, contextlib's exit and that function come first.
        warnings.warn(ByteOrderMarkWarning(f"begins with {mark}: {done}"), stacklevel=4)
