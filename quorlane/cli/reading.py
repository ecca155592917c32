"""Reading a statement file for the command line, and its failures as one line each."""

from __future__ import annotations

import sys
from pathlib import Path

import quorlane_py


class Failed(Exception):
    """A statement that could not be read (or written): its one-line description, "path:line: message"."""


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
    except OSError as error:
        raise Failed(f"{path}: {error.strerror or error}") from None


def failure(path: str, error: quorlane_py.ParseError) -> Failed:
    """The reader's failure as one line, with the line number when it names one."""
    if isinstance(error, quorlane_py.SyntaxError):
        return Failed(f"{path}:{error.detail.lineno}: {error}")
    return Failed(f"{path}: {error}")


def parse(path: str, data: bytes) -> quorlane_py.Statement:
    try:
        return quorlane_py.parse(data)
    except quorlane_py.ParseError as error:
        raise failure(path, error) from None


def read(path: str) -> quorlane_py.Statement:
    return parse(path, read_bytes(path))
