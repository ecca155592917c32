"""What a key or value of the format can hold, the encodings it is written in, and the quoted form of texts
inside messages."""

from __future__ import annotations

import codecs
import re
from collections.abc import Iterator

from . import _accel
from .errors import WriteError

ENCODINGS = ("utf-8", "cp1251")
NEWLINES = ("\r\n", "\n")

# windows-1251 as the reader decodes it (the WHATWG index), from the reader's own table: Python's cp1251 codec
# agrees on every byte except 0x98, which it leaves unmapped and the index maps to U+0098.
CP1251_DECODING: str = _accel.WINDOWS_1251
# cp866 (IBM866) as the package's reading decodes a statement that declares Кодировка=DOS, from the same home.
CP866_DECODING: str = _accel.IBM866

# Characters that other readers (and Python's str.splitlines) take for a line end, and NUL, which C readers
# take for the end of the text. Our reader keeps all of them but the line feed inside a value.
_STRICT_FORBIDDEN = re.compile("[" + re.escape(_accel.LINE_BREAKS) + "]")

# Marker lines of the format, from the reader's table: a key equal to one of them is read by some readers as the
# marker itself. A document's opening line is its marker, "=" and the document's type.
MARKERS: tuple[str, ...] = _accel.MARKERS
FILE_START, ACCOUNT_START, ACCOUNT_END, DOCUMENT_START, DOCUMENT_END, FILE_END = MARKERS

# What the strict writers refuse besides the line feed (which the format's own line end makes a problem of its own).
STRICT_FORBIDDEN_BUT_LF = re.compile("[" + re.escape(_accel.LINE_BREAKS.replace("\n", "")) + "]")


# What convert writes besides: DOS (cp866), for a statement whose header declares it.
CONVERT_ENCODINGS = (*ENCODINGS, "cp866")


def encoding_name(encoding: str, among: tuple[str, ...] = ENCODINGS) -> str:
    """The canonical name of a writable encoding ("utf8", "windows-1251", "ibm866" and such aliases accepted)."""
    try:
        name = codecs.lookup(encoding).name
    except LookupError:
        name = ""
    if name not in among:
        names = [quoted(name) for name in among]
        raise ValueError(f"encoding must be {', '.join(names[:-1])} or {names[-1]}, not {encoding!r}")
    return name


def check_newline(newline: str) -> str:
    if newline not in NEWLINES:
        raise ValueError(f'newline must be "\\r\\n" or "\\n", not {newline!r}')
    return newline


# The text in the encoding ("utf-8" or "cp1251", windows-1251 by the reader's own table, through its one
# encoder); UnicodeEncodeError for a character it cannot hold.
encode = _accel.encode


def decode_cp1251(data: bytes) -> str:
    return codecs.charmap_decode(data, "strict", CP1251_DECODING)[0]


def decode_cp866(data: bytes) -> str:
    return codecs.charmap_decode(data, "strict", CP866_DECODING)[0]


# Whether bytes declare themselves cp866 (their header's Кодировка line, written in cp866, says DOS): the package
# reads such bytes as cp866 where they are not UTF-8.
declares_dos = _accel.declares_dos

# The column of a key outside the fields, in every output with a column per key: the key, or "key:" before it where
# it is named like one of the table's own columns or begins with "key:" itself.
key_column = _accel.key_column


# The text in double quotes with backslash escapes, as the reader's own messages show texts.
quoted = _accel.quoted


def character(char: str) -> str:
    """The character quoted, with its code point: '"я" (U+044F)'."""
    return f"{quoted(char)} (U+{ord(char):04X})"


def key_problems(section: str, key: str, *, exact: bool = False, hint: bool = True) -> Iterator[WriteError]:
    """What stops the key from being read back as this key (and, unless exact, by other readers too); `hint`
    adds to the messages of the latter that exact=True writes it."""
    lifted = " (exact=True writes it)" if hint else ""
    if "=" in key:
        yield WriteError(section, key, f'key {quoted(key)} contains "=" at position {key.index("=")}; a key '
                         'ends at the first "="', key.index("="), code="key-has-equals")
    if key == DOCUMENT_START:
        yield WriteError(section, key, f"key {quoted(key)} would open a document section", code="key-opens-section")
    elif not exact and key in MARKERS:
        yield WriteError(section, key, f"key {quoted(key)} is a marker word, which other readers take for the "
                         f"marker{lifted}", code="key-is-marker")
    elif not exact and not key:
        yield WriteError(section, key, f"empty key, which other readers skip{lifted}", code="key-empty")
    yield from _character_problems(section, key, key, f"key {quoted(key)}", exact=exact, hint=hint)


def value_problems(section: str, key: str, value: str, *, exact: bool = False, newline: str = "\r\n",
                   hint: bool = True) -> Iterator[WriteError]:
    """What stops the value from being read back unchanged (and, unless exact, by other readers too)."""
    yield from _character_problems(section, key, value, f"value of {quoted(key)}", exact=exact, hint=hint)
    if exact and newline == "\n" and value.endswith("\r"):
        yield WriteError(section, key, f"value of {quoted(key)} ends with a carriage return, which the reader "
                         'drops before a line feed (newline="\\r\\n" keeps it)', len(value) - 1,
                         code="value-ends-with-cr")


def _character_problems(section: str, key: str, text: str, what: str, *, exact: bool,
                        hint: bool) -> Iterator[WriteError]:
    if exact:
        position = text.find("\n")
    else:
        found = _STRICT_FORBIDDEN.search(text)
        position = found.start() if found else -1
    if position < 0:
        return
    if text[position] == "\n":
        yield WriteError(section, key, f"{what} contains a line break at position {position}; the format has no "
                         "escaping", position, code="line-break")
    else:
        kind = "a text end" if text[position] == "\x00" else "a line break"
        yield WriteError(section, key, f"{what} contains {character(text[position])} at position {position}, "
                         f"{kind} to other readers" + (" (exact=True writes it)" if hint else ""), position,
                         code="line-break-to-others")


def encoding_problems(section: str, key: str, text: str, encoding: str, *,
                      what: str | None = None) -> Iterator[WriteError]:
    """The first character of the text that the encoding lacks."""
    try:
        encode(text, encoding)
    except UnicodeEncodeError as error:
        where = what or f"value of {quoted(key)}"
        yield WriteError(section, key, f"{character(text[error.start])} at position {error.start} in {where} "
                         f"cannot be encoded in {encoding}", error.start, code="unencodable")


# The reader's test of windows-1251 input: enough of its first PLAUSIBILITY_WINDOW characters must be letters,
# digits, punctuation and blanks.
PLAUSIBILITY_WINDOW: int = _accel.PLAUSIBILITY_CHARS
PLAUSIBLE_PERCENT: int = _accel.PLAUSIBLE_PERCENT
plausible = _accel.plausible
