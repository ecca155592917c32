"""The standard streams as the command line uses them: text for a person in whatever the terminal can show, data
(JSON, CSV, statements) as UTF-8 or raw bytes, and the ways a user ends a command (a closed pipe, Ctrl-C,
SIGTERM)."""

from __future__ import annotations

import codecs
import os
import signal
import sys
import threading
from collections.abc import Iterator
from contextlib import contextmanager
from typing import Any, TextIO

# Exit statuses a shell shows for a command ended by SIGPIPE, SIGINT and SIGTERM (128 + the signal's number).
CLOSED_PIPE_STATUS = 128 + 13
INTERRUPTED_STATUS = 128 + 2
TERMINATED_STATUS = 128 + 15

_REPLACE = "quorlane.replace"


def _replace(error: UnicodeError) -> tuple[str | bytes, int]:
    """"?" for a character the stream's encoding lacks; a byte that came in undecodable (a file name in a foreign
    encoding, held as a lone surrogate) goes out as the very byte it was."""
    if not isinstance(error, UnicodeEncodeError):
        raise error
    piece = error.object[error.start:error.end]
    if all(0xDC80 <= ord(c) <= 0xDCFF for c in piece):
        return bytes(ord(c) - 0xDC00 for c in piece), error.end
    return "?" * len(piece), error.end


codecs.register_error(_REPLACE, _replace)


def tolerant_text_streams() -> None:
    """stdout and stderr write what their encoding cannot hold as "?" instead of failing (a cp866 console,
    LC_ALL=C): what the command says still comes out, in the characters the terminal has."""
    for stream in (sys.stdout, sys.stderr):
        reconfigure = getattr(stream, "reconfigure", None)
        if reconfigure is not None:
            reconfigure(errors=_REPLACE)


def can_show(text: str, stream: TextIO) -> bool:
    """Whether the stream's encoding holds the text."""
    try:
        text.encode(stream.encoding or "ascii")
    except (UnicodeEncodeError, LookupError):
        return False
    return True


def write_bytes(data: bytes) -> None:
    """Data (JSON, CSV, a statement) to stdout as it is. A large write that the stream takes only in part returns the
    part's length without a word: write on until all is written or the stream says what stops it."""
    sys.stdout.flush()
    out = sys.stdout.buffer
    view = memoryview(data)
    while view:
        view = view[out.write(view):]


def silence_stdout() -> None:
    """After the reader of a pipe went away: stdout goes to /dev/null, so that flushing it at exit fails no more."""
    try:
        devnull = os.open(os.devnull, os.O_WRONLY)
        os.dup2(devnull, sys.stdout.fileno())
        os.close(devnull)
    except (OSError, ValueError, AttributeError):
        pass


class Terminated(BaseException):
    """SIGTERM (a service stopped, `timeout`, a CI job cancelled), raised in the main thread as Ctrl-C raises
    KeyboardInterrupt, so that the command ends as after Ctrl-C: its processes ended, its unfinished outputs
    removed."""


def _terminate(signum: int, frame: Any) -> None:
    signal.signal(signal.SIGTERM, signal.SIG_IGN)  # a second one must not cut the cleaning up short
    raise Terminated


@contextmanager
def sigterm_raises() -> Iterator[None]:
    """SIGTERM raises Terminated while the block runs (in the main thread; elsewhere signals cannot be handled)."""
    if threading.current_thread() is not threading.main_thread():
        yield
        return
    previous = signal.signal(signal.SIGTERM, _terminate)
    try:
        yield
    finally:
        signal.signal(signal.SIGTERM, previous)
