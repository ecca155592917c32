"""Reading a statement file for the command line, and its failures as one line each."""

from __future__ import annotations

import os
import sys
import unicodedata
import warnings
from collections.abc import Iterable, Iterator
from contextlib import contextmanager
from pathlib import Path
from typing import Optional, cast

import quorlane_py

from .._accel import Outline, quoted, read_outline
from ..errors import ByteOrderMarkWarning, DroppedDocument


class Failed(Exception):
    """A statement that could not be read (or written): its one-line description, "path:line: message", and the
    note lines that say what was found, if any."""


def refused(path: str, error: OSError) -> Failed:
    """What the system refused of a file or folder (a missing folder, a full disk), as one line: "path: reason"."""
    return Failed(shown(f"{path}: {error.strerror or error}"))


def sample_bytes() -> bytes:
    """The sample statement shipped inside the package."""
    from importlib.resources import files  # only `show` without a file needs it

    return (files("quorlane") / "data" / "sample_statement.txt").read_bytes()


def read_bytes(path: str) -> bytes:
    """The file's bytes; "-" is standard input."""
    if path == "-":
        return sys.stdin.buffer.read()
    try:
        return Path(path).read_bytes()
    except FileNotFoundError:
        if os.path.islink(path):
            raise Failed(shown(f"{path}: a symbolic link to {os.readlink(path)}, which does not exist")) from None
        raise Failed(shown(f"{path}: No such file or directory")) from None
    except OSError as error:
        raise refused(path, error) from None


def failure(path: str, error: quorlane_py.ParseError) -> Failed:
    """The reader's failure as one line, with the line number when it names one, and a note line with its
    diagnosis when it has one."""
    if isinstance(error, quorlane_py.SyntaxError):
        lines = [f"{path}:{error.detail.lineno}: {error}"]
    else:
        lines = [f"{path}: {error}"]
    found = getattr(error, "diagnosis", None)
    if found is not None:
        lines.append(f"{path}: note: {found}")
    return Failed("\n".join(map(shown, lines)))


@contextmanager
def reading(path: str, notes: Optional[list[str]] = None) -> Iterator[None]:
    """Around a reading function of the package reading the file: its failure as Failed, and what it says of the
    file's form (a byte order mark read past) as note lines, added to `notes`, or else printed on stderr."""
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always", ByteOrderMarkWarning)
        try:
            yield
        except quorlane_py.ParseError as error:
            raise failure(path, error) from None
    lines = [shown(f"{path}: note: {w.message}") for w in caught if issubclass(w.category, ByteOrderMarkWarning)]
    for other in caught:  # anything else, as it would have been shown
        if not issubclass(other.category, ByteOrderMarkWarning):
            warnings.warn_explicit(other.message, other.category, other.filename, other.lineno)
    if notes is not None:
        notes.extend(lines)
    elif lines:
        print("\n".join(lines), file=sys.stderr)


def parse(path: str, data: bytes, notes: Optional[list[str]] = None) -> quorlane_py.Statement:
    """The statement, read as the package reads (see `reading` for `notes`)."""
    from ..statement_reading import read_statement

    with reading(path, notes):
        return read_statement(data)


def read(path: str, notes: Optional[list[str]] = None) -> quorlane_py.Statement:
    return parse(path, read_bytes(path), notes)


def dropped(statement: quorlane_py.Statement) -> list[DroppedDocument]:
    """The statement's warnings, which the package's readings make DroppedDocument pairs."""
    return cast("list[DroppedDocument]", statement.warnings)


def warning_lines(path: str, dropped: Iterable[DroppedDocument]) -> tuple[str, ...]:
    """A line per document the reader dropped, as every command prints them, with the key and value that dropped
    it: 'path:76: warning: empty string is not a valid date (Дата="")'."""
    return tuple(shown(f"{path}:{warning.lineno}: warning: {warning}") for warning in dropped)


def outline(path: str, data: bytes, sections: bool = False, notes: Optional[list[str]] = None) -> Outline:
    """The statement read to the reader's verdict, as the package reads, its documents counted, not kept:
    Outline.read_documents reads them again a batch at a time, for the commands that write each as it comes. With
    `sections`, the keys of the documents' sections too. The reader's failure is Failed, as parse gives it, before
    any output (see `reading` for `notes`)."""
    from ..statement_reading import package_reading

    with reading(path, notes), package_reading(data):
        return read_outline(data, sections)


# Characters that would not show as themselves on a terminal, or would move or hide what follows: controls (a
# carriage return, 0x1A), formats (a byte order mark, bidirectional overrides) and line separators.
_HIDDEN = frozenset(("Cc", "Cf", "Zl", "Zp"))


def shown(text: str) -> str:
    """The text with each character that would not show as itself escaped as the quoted form escapes it ("\\r",
    "\\u{1a}"): a line of a message stays one visible line."""
    if text.isprintable():
        return text
    return "".join(quoted(c)[1:-1] if unicodedata.category(c) in _HIDDEN else c for c in text)
