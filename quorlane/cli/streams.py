"""The standard streams as the command line uses them: text for a person in whatever the terminal can show, data
(JSON, CSV, statements) as UTF-8 or raw bytes, and the ways a user ends a command (a closed pipe, Ctrl-C)."""

from __future__ import annotations

import codecs
import os
import sys
from typing import TextIO

# Exit statuses a shell shows for a command ended by SIGPIPE and by SIGINT (128 + the signal's number).
CLOSED_PIPE_STATUS = 128 + 13
INTERRUPTED_STATUS = 128 + 2

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
