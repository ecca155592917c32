"""What a refused file holds, in words a person can act on: quorlane_py's exceptions name the kind of failure
("Input is not a 1C statement", "Statement is not finished"); the diagnosis says what was found in the bytes (a
byte order mark, the one byte that is not UTF-8, the declared Кодировка, the last line read, ...), following the
reading that failed: quorlane_py.parse's (diagnose), or the package's, which reads past a byte order mark and reads
a declared cp866 (the package's reading functions)."""

from __future__ import annotations

import codecs
from collections.abc import Iterator
from typing import Optional, Union

import quorlane_py

from . import _accel
from ._text import (ACCOUNT_END, ACCOUNT_START, DOCUMENT_END, DOCUMENT_START, FILE_END, FILE_START, declares_dos,
                    decode_cp866, decode_cp1251, plausible, quoted)

__all__ = ["diagnose"]

_UTF8_BOM = codecs.BOM_UTF8
_UTF16_BOMS = {codecs.BOM_UTF16_LE: "utf-16-le", codecs.BOM_UTF16_BE: "utf-16-be"}
_ENCODING_KEY = _accel.ENCODING_KEY + "="
# The encodings a header's Кодировка line is looked for in: the two the reader reads, and DOS's own.
_DECLARING = ("utf-8", "cp1251", "cp866")


def diagnose(statement: Union[bytes, str], error: quorlane_py.ParseError) -> Optional[str]:
    """What the statement holds that made quorlane_py.parse raise `error`, as one line of text; None when there is
    nothing to add to the error's own message. The package's reading functions give it, for their own reading, as
    the exception's `diagnosis` attribute (and a note, which tracebacks show); the command line prints it as a
    note line."""
    return _diagnose(statement, error, package=False)


def diagnosed(error: quorlane_py.ParseError, statement: Union[bytes, str]) -> quorlane_py.ParseError:
    """The error of the package's reading of the statement, with its diagnosis as the attribute `diagnosis` (None
    when there is none) and as a note."""
    found = _diagnose(statement, error, package=True)
    error.diagnosis = found  # type: ignore[attr-defined]
    if found is not None:
        notes = getattr(error, "__notes__", None)
        error.__notes__ = [*(notes or ()), found]  # what BaseException.add_note (3.11) does, on 3.9 too
    return error


def _diagnose(statement: Union[bytes, str], error: quorlane_py.ParseError, package: bool) -> Optional[str]:
    data = statement.encode("utf-8", "surrogatepass") if isinstance(statement, str) else bytes(statement)
    if isinstance(error, quorlane_py.NotStatementError):
        return _not_a_statement(data, package)
    if isinstance(error, quorlane_py.UnfinishedError):
        return _unfinished(data, package)
    if isinstance(error, quorlane_py.SyntaxError) and isinstance(error.detail, quorlane_py.UnrecognizedLine):
        return _unrecognized(error.detail.line)
    return None


def _not_a_statement(data: bytes, package: bool) -> str:
    if not data.strip():
        return "the input is empty" if not data else "the input holds only blank lines"
    findings = _encoding_findings(data, package)
    declared = _declared_encoding(data)
    read_as_dos = package and _reads_as_dos(data)
    if declared is not None and declared != "Windows" and not read_as_dos:
        findings.append(f"the header declares Кодировка={declared}" + (
            " (cp866, which quorlane_py.parse does not read, and the package's reading functions do)"
            if declared == "DOS" and not package and declares_dos(data) else ""))
    return "; ".join(findings)


def _reads_as_dos(data: bytes) -> bool:
    """Whether the package reads the bytes as cp866: not UTF-8, and declared DOS."""
    try:
        data.decode("utf-8")
    except UnicodeDecodeError:
        return declares_dos(data)
    return False


def _encoding_findings(data: bytes, package: bool) -> list[str]:
    """What decoding finds, following the reading's own order: UTF-8 when all of it is (after a byte order mark,
    for the package); else a byte order mark's encoding, else windows-1251 (cp866 where the package takes a
    declared DOS), whose text must look like text."""
    try:
        text = data.decode("utf-8")
    except UnicodeDecodeError as error:
        return _not_utf8(data, error, package)
    if text.startswith("\ufeff"):
        if package:
            return ["after its byte order mark, " + _first_line_finding(text[1:])]
        rest = _first_line(text[1:])
        return ["begins with a UTF-8 byte order mark" + (", which the reader takes as part of the first line"
                                                         if rest == FILE_START else "")]
    return [_first_line_finding(text)]


def _not_utf8(data: bytes, error: UnicodeDecodeError, package: bool) -> list[str]:
    where = _place(data, error.start)
    byte = f"byte 0x{data[error.start]:02X} at {where}"
    if data.startswith(_UTF8_BOM):
        return [f"begins with a UTF-8 byte order mark, but is not UTF-8 after it: {byte}"]
    for mark, codec in _UTF16_BOMS.items():
        if data.startswith(mark):
            try:
                text = data[len(mark):].decode(codec)
            except UnicodeDecodeError:
                return [f"begins with a {codec[:6].upper()} byte order mark, but is not {codec[:6].upper()} after it"]
            return [f"read as {codec[:6].upper()} (its byte order mark), " + _first_line_finding(text)]
    if error.end == len(data) and error.reason == "unexpected end of data":
        return [f"valid UTF-8 that ends inside a character ({where}), as a file cut short does"]
    try:
        data[error.end:].decode("utf-8")
    except UnicodeDecodeError:
        pass
    else:
        return [f"valid UTF-8 but for {byte}"]
    if package and declares_dos(data):
        text, name = decode_cp866(data), "cp866 (its header declares Кодировка=DOS)"
    else:
        text, name = decode_cp1251(data), "windows-1251"
    if not plausible(text):
        return [f"not UTF-8 ({byte}), and as {name} too little of its start is letters, digits, punctuation and "
                "blanks"]
    return [f"not UTF-8 ({byte}); read as {name}, " + _first_line_finding(text)]


def _place(data: bytes, index: int) -> str:
    """Line and column (in characters, counting from 1) of the byte at `index`."""
    start = data.rfind(b"\n", 0, index) + 1
    line = data.count(b"\n", 0, index) + 1
    column = len(data[start:index].decode("utf-8", "replace")) + 1
    return f"line {line}, column {column}"


def _first_line(text: str) -> str:
    line = text.split("\n", 1)[0]
    return line[:-1] if line.endswith("\r") and "\n" in text else line


def _first_line_finding(text: str) -> str:
    if "\n" not in text and "\r" in text:
        return "its lines end in a carriage return alone, so that it is one line to the reader"
    line = _first_line(text)
    if line.strip() == FILE_START:
        return f"its first line is {quoted(line)}, with blanks around {FILE_START}"
    shown = line if len(line) <= 60 else line[:60] + "…"
    return f"its first line is {quoted(shown)}, not {FILE_START}"


def _declared_encoding(data: bytes) -> Optional[str]:
    """The value of the header's Кодировка line, found in whichever encoding the file writes it."""
    for encoding in _DECLARING:
        key = _ENCODING_KEY.encode(encoding)
        at = data.find(b"\n" + key)
        if at >= 0:
            start = at + 1 + len(key)
            end = data.find(b"\n", start)
            return data[start:end if end >= 0 else len(data)].decode(encoding, "replace").strip()
    return None


_TAIL = 1 << 16  # bytes enough to tell UTF-8 from windows-1251 at the end of a statement


def _unfinished(data: bytes, package: bool) -> Optional[str]:
    """The last line read and the section left open, found from the end of the text: a statement that ends
    unfinished is read to its end, and its diagnosis should not cost a second reading."""
    if data.startswith(tuple(_UTF16_BOMS)):
        text = _decoded(data, package)
        lines = list(enumerate(_lines(text), start=1))[::-1] if text is not None else []
    else:
        lines = _lines_from_the_end(data, len(_UTF8_BOM) if data.startswith(_UTF8_BOM) else 0, package)
    last: Optional[tuple[int, str]] = None
    for number, line in lines:
        if last is None:
            if not line.strip():
                continue
            last = (number, line)
        if line in (ACCOUNT_END, DOCUMENT_END):
            break
        if line == ACCOUNT_START or line.startswith(DOCUMENT_START + "="):
            kind, closing = ("account", ACCOUNT_END) if line == ACCOUNT_START else ("document", DOCUMENT_END)
            return (f"the last line read is line {last[0]}, {quoted(last[1])}, inside the {kind} section of line "
                    f"{number} (no {closing})")
    if last is None:
        return None
    return f"the last line read is line {last[0]}, {quoted(last[1])}; no {FILE_END} follows"


def _lines_from_the_end(data: bytes, start: int, package: bool) -> Iterator[tuple[int, str]]:
    """The reading's lines of data[start:] with their numbers, the last first, each decoded as the reading decodes
    the text (UTF-8, or when the end of the text is not UTF-8 windows-1251, or cp866 where the package reads a
    declared DOS)."""
    tail = data[max(start, len(data) - _TAIL):]
    try:
        tail[tail.find(b"\n") + 1:].decode("utf-8")  # from a line's start, never inside a character
        decode = lambda line: line.decode("utf-8", "replace")  # noqa: E731
    except UnicodeDecodeError:
        decode = decode_cp866 if package and declares_dos(data) else decode_cp1251
    end = len(data)
    if end > start and data.endswith(b"\n"):
        end -= 1  # the last line feed ends the last line: no line follows it
    number = _accel.line_feeds(data) - (end < len(data)) + 1  # the mark, if any, holds none
    while True:
        cut = data.rfind(b"\n", start, end)
        line = data[cut + 1 if cut >= 0 else start:end]
        if end < len(data) and line.endswith(b"\r"):  # before a line feed a carriage return is taken away
            line = line[:-1]
        yield number, decode(line)
        if cut < 0:
            return
        end, number = cut, number - 1


def _decoded(data: bytes, package: bool) -> Optional[str]:
    """The text as the reading decodes it (None where it would not)."""
    try:
        text = data.decode("utf-8")
        return text[1:] if package and text.startswith("\ufeff") else text
    except UnicodeDecodeError:
        pass
    if data.startswith(_UTF8_BOM):
        return data[3:].decode("utf-8", "replace")
    for mark, codec in _UTF16_BOMS.items():
        if data.startswith(mark):
            return data[len(mark):].decode(codec, "replace")
    return decode_cp866(data) if package and declares_dos(data) else decode_cp1251(data)


def _lines(text: str) -> list[str]:
    """The reader's lines: cut after each line feed, one carriage return before it taken away."""
    lines = [line[:-1] if line.endswith("\r") else line for line in text.split("\n")]
    if lines and lines[-1] == "" and text.endswith("\n"):
        lines.pop()
    if not text.endswith("\n") and text.endswith("\r"):
        lines[-1] += "\r"  # a carriage return with no line feed after it stays
    return lines


def _unrecognized(line: str) -> Optional[str]:
    if "\x1a" in line:
        return "0x1A is the DOS end-of-file mark, which some programs write after the last line"
    if line.endswith("\r"):
        return "the line ends in a carriage return that no line feed follows"
    return None
