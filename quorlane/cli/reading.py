"""Reading a statement file for the command line, and its failures as one line each."""

from __future__ import annotations

import os
import sys
import unicodedata
from collections.abc import Iterable
from pathlib import Path

import quorlane_py

from .._accel import Outline, quoted, read_outline


class Failed(Exception):
    """A statement that could not be read (or written): its one-line description, "path:line: message", and the
    note lines that say what was found, if any."""


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
        raise Failed(shown(f"{path}: {error.strerror or error}")) from None


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


def parse(path: str, data: bytes) -> quorlane_py.Statement:
    from .. import diagnosis  # only a refused statement needs it, and parse imports it then

    try:
        return diagnosis.parse(data)
    except quorlane_py.ParseError as error:
        raise failure(path, error) from None


def read(path: str) -> quorlane_py.Statement:
    return parse(path, read_bytes(path))


def outline(path: str, data: bytes, sections: bool = False) -> Outline:
    """The statement read to the reader's verdict, its documents counted, not kept: Outline.read_documents reads
    them again a batch at a time, for the commands that write each as it comes. With `sections`, the keys of the
    documents' sections too. The reader's failure is Failed, as parse gives it, before any output."""
    from .. import diagnosis

    try:
        with diagnosis.explained(data):
            return read_outline(data, sections)
    except quorlane_py.ParseError as error:
        raise failure(path, error) from None


def warning_lines(path: str, warnings: Iterable[tuple[int, str]]) -> tuple[str, ...]:
    """A line per document the reader dropped, as every command prints them."""
    return tuple(shown(f"{path}:{lineno}: warning: {message}") for lineno, message in warnings)


# Characters that would not show as themselves on a terminal, or would move or hide what follows: controls (a
# carriage return, 0x1A), formats (a byte order mark, bidirectional overrides) and line separators.
_HIDDEN = frozenset(("Cc", "Cf", "Zl", "Zp"))


def shown(text: str) -> str:
    """The text with each character that would not show as itself escaped as the quoted form escapes it ("\\r",
    "\\u{1a}"): a line of a message stays one visible line."""
    if text.isprintable():
        return text
    return "".join(quoted(c)[1:-1] if unicodedata.category(c) in _HIDDEN else c for c in text)
