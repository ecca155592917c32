"""Writing a statement that quorlane_py.parse returned back into the 1CClientBankExchange format."""

from __future__ import annotations

from operator import attrgetter
from typing import BinaryIO

import quorlane_py

from . import _accel, _text
from ._keys import (DOCUMENT_ATTRIBUTE, DOCUMENT_DATE_KEYS, DOCUMENT_KEYS, INTERVAL_KEYS_AFTER_NUMBER,
                    INTERVAL_KEYS_BEFORE_NUMBER)
from .errors import WriteError

__all__ = ["dumps", "dump"]

# The document sections written straight into bytes; NotRendered leaves them to the writer that explains problems.
_render_documents = _accel.render_documents

# A document section: the opening line, then one line per key whose value is not None, then the closing line.
_NAMES = ("doc_type", *(DOCUMENT_ATTRIBUTE[key] for key in DOCUMENT_KEYS))
_KEYS = (_text.DOCUMENT_START, *DOCUMENT_KEYS)
_IS_DATE = tuple(key in DOCUMENT_DATE_KEYS for key in _KEYS)
_ROW = attrgetter(*_NAMES)
_CLOSING = _text.DOCUMENT_END


def dumps(statement: quorlane_py.Statement, *, encoding: str | None = None, newline: str = "\r\n",
          exact: bool = False) -> bytes:
    """The statement in the 1CClientBankExchange format, as bytes.

    The header, then every interval of every account as an account section, then every document in the
    standard order of its keys (a None value leaves its line out), then "КонецФайла". It writes the typed
    statement: the 26 fields of each Document, not the keys a Document leaves out (budget keys, "Код", the
    name and bank lines, ...) nor earlier values of repeated keys. quorlane.convert keeps every line of a file. `encoding` is "utf-8"
    or "cp1251" (windows-1251 with the table the reader decodes with); by default the statement's own.
    `newline` is "\\r\\n" (the format's custom) or "\\n".

    The promise: quorlane_py.parse of the result gives a statement with an equal header (same pairs, same
    order), equal accounts in the same order with equal intervals in the same order, and equal documents in
    the same order, and with the encoding written. (Output made only of ASCII characters would read back as
    "utf-8" whatever it was written in, but the format's markers are Cyrillic, so a statement, which has at
    least one section, never is.) Warnings are not written: the documents they stand for were dropped by the
    reader and cannot be written back, so the result reads back without warnings.

    What the format cannot hold raises WriteError (a ValueError) naming the section, the key and the
    position, and nothing is written: a line feed in a key or value (the format has no escaping), "=" in a
    key, the key "СекцияДокумент", a character the encoding lacks, windows-1251 output that the reader would
    not take for a statement (too many control or rare characters at its start), a statement without any
    account or document section. Unless `exact` is true, so is what other readers would misread: carriage
    returns and the other characters that split lines in Python or C (U+000B, U+000C, U+001C..U+001E, U+0085,
    U+2028, U+2029, NUL), an empty key and a key equal to a marker word. With `exact`, only what quorlane_py
    cannot read back is refused (a value that ends with a carriage return then needs newline="\\r\\n").

    TypeError when the header, accounts or documents hold objects of other types than parse makes.
    """
    encoding = _text.encoding_name(encoding or statement.encoding)
    newline = _text.check_newline(newline)
    documents = statement.documents
    _check_types(statement.header, statement.accounts, documents)
    if not statement.accounts and not documents:
        raise WriteError("statement", None, "a statement needs at least one account or document section")

    head_lines = [_text.FILE_START]
    _write_header(head_lines, statement.header, exact, newline, encoding)
    _write_accounts(head_lines, statement.accounts, exact, newline, encoding)
    head = _text.encode(newline.join(head_lines) + newline, encoding)
    tail = _text.encode(_text.FILE_END + newline, encoding)

    data = None
    if not exact:
        keys = tuple(_text.encode(key + "=", encoding) for key in _KEYS)
        try:
            data = _render_documents(documents, head, tail, _NAMES, keys, _IS_DATE, newline.encode("ascii"),
                                     _text.encode(_CLOSING, encoding), encoding)
        except _accel.NotRendered:  # a value the fast writer does not take: the one that explains it does
            pass
    if data is None:
        data = head + _documents_in_python(documents, exact, newline, encoding) + tail
    if encoding == "cp1251":
        _check_cp1251_reads_back(data)
    return data


def dump(statement: quorlane_py.Statement, fp: BinaryIO, *, encoding: str | None = None, newline: str = "\r\n",
         exact: bool = False) -> None:
    """Writes dumps(statement, ...) to the binary file object `fp`; on a WriteError nothing is written."""
    fp.write(dumps(statement, encoding=encoding, newline=newline, exact=exact))


def _check_types(header: object, accounts: object, documents: object) -> None:
    if not isinstance(header, dict) or not all(type(k) is str and type(v) is str for k, v in header.items()):
        raise TypeError("the header must be a dict of str to str")
    if not isinstance(accounts, dict) or not all(type(a) is quorlane_py.Account for a in accounts.values()):
        raise TypeError("the accounts must be a dict of quorlane_py.Account")
    if not isinstance(documents, list) or not set(map(type, documents)) <= {quorlane_py.Document}:
        raise TypeError("the documents must be a list of quorlane_py.Document")


def _raise_first(*problem_lists: object) -> None:
    for problems in problem_lists:
        for problem in problems:  # type: ignore[attr-defined]
            raise problem


def _pair(lines: list[str], section: str, key: str, value: str, exact: bool, newline: str, encoding: str) -> None:
    _raise_first(_text.key_problems(section, key, exact=exact),
                 _text.value_problems(section, key, value, exact=exact, newline=newline),
                 _text.encoding_problems(section, key, key, encoding, what=f"key {_text.quoted(key)}"),
                 _text.encoding_problems(section, key, value, encoding))
    lines.append(f"{key}={value}")


def _write_header(lines: list[str], header: dict[str, str], exact: bool, newline: str, encoding: str) -> None:
    for key, value in header.items():
        _pair(lines, "header", key, value, exact, newline, encoding)


def dotted_date(iso: str) -> str:
    """YYYY-MM-DD (or a signed year, +10000-01-01), as the reader's records give dates, as the format writes
    them: DD.MM.YYYY."""
    dotted = _accel.dotted_date(iso)
    if dotted is None:
        raise WriteError("statement", None, f"{_text.quoted(iso)} is not a date as the reader gives dates")
    return dotted


def _write_accounts(lines: list[str], accounts: dict[str, quorlane_py.Account], exact: bool, newline: str,
                    encoding: str) -> None:
    for number, account in accounts.items():
        section = f"account {_text.quoted(number)}"
        if account.number != number:
            raise WriteError(section, "РасчСчет", f"the account is filed under {_text.quoted(number)} but its number "
                             f"is {_text.quoted(account.number)}; it would be read back under its number")
        for interval in _reading_order(account.intervals):
            lines.append(_text.ACCOUNT_START)
            for key, name in INTERVAL_KEYS_BEFORE_NUMBER:
                value = getattr(interval, name)
                if value is not None:
                    lines.append(f"{key}={dotted_date(value)}")
            _pair(lines, section, "РасчСчет", number, exact, newline, encoding)
            for key, name in INTERVAL_KEYS_AFTER_NUMBER:
                value = getattr(interval, name)
                if value is not None:
                    lines.append(f"{key}={value}")
            lines.append(_text.ACCOUNT_END)


def _reading_order(intervals: list[quorlane_py.Interval]) -> list[quorlane_py.Interval]:
    """The intervals in the order that makes the reader file them as given.

    The reader keeps an account's intervals sorted by start date and puts an interval whose start date is
    already there just before the last of those: reading a, b, c of one start date files b, c, a. So each
    run of equal start dates is written last one first, then the others in order.
    """
    order: list[quorlane_py.Interval] = []
    start = 0
    while start < len(intervals):
        end = start + 1
        while end < len(intervals) and intervals[end].date_start == intervals[start].date_start:
            end += 1
        order.append(intervals[end - 1])
        order.extend(intervals[start:end - 1])
        start = end
    return order


class _DottedDates(dict):  # type: ignore[type-arg]
    """A memo of dotted_date: a statement holds few distinct dates."""

    def __missing__(self, iso: str | None) -> str | None:
        value = self[iso] = None if iso is None else dotted_date(iso)
        return value


def _template(types: tuple[type, ...]) -> tuple[str, int]:
    """A %-template of a document section whose None values are the ones `types` shows, and its line count."""
    parts = []
    for key, kind in zip(_KEYS, types):
        # A None value still takes its argument, printed as nothing.
        parts.append("%.0s" if kind is type(None) else f"{key}=%s\n")
    parts.append(_CLOSING + "\n")
    return "".join(parts), sum(1 for kind in types if kind is not type(None)) + 1


_DATE_INDEXES = tuple(i for i, is_date in enumerate(_IS_DATE) if is_date)


def _documents_in_python(documents: list[quorlane_py.Document], exact: bool, newline: str, encoding: str) -> bytes:
    """The document sections, written with "\\n", checked as a whole, then given their newline and encoded.
    Only when the whole shows a problem are the values looked at one by one, to name it."""
    templates: dict[tuple[type, ...], tuple[str, int]] = {}
    dates = _DottedDates()
    parts = []
    expected_lines = 0
    for row in map(_ROW, documents):
        types = tuple(map(type, row))
        try:
            template, line_count = templates[types]
        except KeyError:
            template, line_count = templates[types] = _template(types)
        values = list(row)
        for i in _DATE_INDEXES:
            values[i] = dates[values[i]]
        parts.append(template % tuple(values))
        expected_lines += line_count
    text = "".join(parts)
    sound = text.count("\n") == expected_lines
    if exact:
        sound = sound and not (newline == "\n" and "\r\n" in text)
    else:
        sound = sound and _text.STRICT_FORBIDDEN_BUT_LF.search(text) is None
    if sound:
        if newline != "\n":
            text = text.replace("\n", newline)
        try:
            return _text.encode(text, encoding)
        except UnicodeEncodeError:
            pass
    _raise_document_problem(documents, exact, newline, encoding)
    raise AssertionError("the document sections failed a check that no value fails")


def _raise_document_problem(documents: list[quorlane_py.Document], exact: bool, newline: str, encoding: str) -> None:
    for number, row in enumerate(map(_ROW, documents), start=1):
        section = f"document {number}"
        for key, value in zip(_KEYS, row):
            if value is not None:
                _raise_first(_text.value_problems(section, key, value, exact=exact, newline=newline),
                             _text.encoding_problems(section, key, value, encoding))


def _check_cp1251_reads_back(data: bytes) -> None:
    """The reader takes windows-1251 input for a statement only when it looks like text. (It takes input that
    is valid UTF-8 for UTF-8, but this output never is: every section's opening line starts with "Се", bytes
    D1 E5 in windows-1251, which no UTF-8 sequence has.)"""
    if not _text.plausible(_text.decode_cp1251(data[:_text.PLAUSIBILITY_WINDOW])):
        raise WriteError("statement", None, "the cp1251 output would not be taken for a statement: more than "
                         f"{100 - _text.PLAUSIBLE_PERCENT} per cent of its first {_text.PLAUSIBILITY_WINDOW} "
                         "characters are neither letters, digits, punctuation nor whitespace; write it in utf-8")
