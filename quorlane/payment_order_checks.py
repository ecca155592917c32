"""Every problem of a list of payment orders at once: what the bank requires, the lengths and forms of codes,
amounts, line breaks and encodability."""

from __future__ import annotations

import re
from collections.abc import Iterable, Iterator

from . import _text
from .errors import WriteError
from .payment_order_fields import amount_text, document_pairs, purpose_lines
from .payment_orders import OutgoingDocument

__all__ = ["validate_outgoing", "PURPOSE_LINES"]

PURPOSE_LINES = ("refuse", "split")
MOST_PURPOSE_LINES = 6
MOST_PURPOSE_LENGTH = 210

# Keys that must have a value in every document (the standard's "required from 1C" column; 1C's own schema
# makes the purpose required too).
_REQUIRED = ("Номер", "Дата", "Сумма", *(f"{party}{suffix}" for party in ("Плательщик", "Получатель") for suffix in
             ("Счет", "", "ИНН", "1", "РасчСчет", "Банк1", "Банк2", "БИК", "Корсчет")), "ВидОплаты", "НазначениеПлатежа")
# In a budget payment all of its block is required but ПоказательТипа.
_REQUIRED_IN_BUDGET = ("СтатусСоставителя", "ПлательщикКПП", "ПолучательКПП", "ПоказательКБК", "ОКАТО",
                       "ПоказательОснования", "ПоказательПериода", "ПоказательНомера", "ПоказательДаты")

# key: (pattern of the whole value, what it must be)
_FORMS = {
    **{key: (r"[0-9]{20}", "20 digits") for key in
       ("ПлательщикСчет", "ПлательщикРасчСчет", "ПлательщикКорсчет", "ПолучательСчет", "ПолучательРасчСчет",
        "ПолучательКорсчет")},
    **{key: (r"[0-9]{10}|[0-9]{12}|0", '10 or 12 digits, or "0"') for key in ("ПлательщикИНН", "ПолучательИНН")},
    **{key: (r"[0-9]{9}", "9 digits") for key in ("ПлательщикБИК", "ПолучательБИК")},
    **{key: (r"[0-9]{4}[0-9A-Z]{2}[0-9]{3}|0", '9 characters (4 digits, 2 digits or capital Latin letters, 3 digits), '
             'or "0"') for key in ("ПлательщикКПП", "ПолучательКПП")},
    "ВидОплаты": (r"[0-9]{1,2}", "1 or 2 digits"),
    "Очередность": (r"[1-5]", "one digit from 1 to 5"),
    "СтатусСоставителя": (r"[0-9]{2}", "2 digits"),
    "ПоказательКБК": (r"[0-9]{20}|0", '20 digits, or "0"'),
    "ОКАТО": (r"[0-9]{8}|[0-9]{11}|0", '8 or 11 digits, or "0"'),
}
_LONGEST = {"Код": 25, "ПоказательОснования": 2, "ПоказательПериода": 10, "ПоказательНомера": 15,
            "ПоказательТипа": 2, "ВидПлатежа": 15, "НазначениеПлатежа": MOST_PURPOSE_LENGTH}
_COMPILED_FORMS = {key: (re.compile(pattern), what) for key, (pattern, what) in _FORMS.items()}


def validate_outgoing(documents: Iterable[OutgoingDocument], *, encoding: str = "cp1251",
                      purpose_lines: str = "refuse") -> list[WriteError]:
    """Every problem that stops the documents from being written for the bank, in document order; empty when
    dumps_outgoing with the same options would write them.

    Each problem is a WriteError whose section is "document N" (counting from 1) and whose key is the
    format's key concerned. `purpose_lines="split"` accepts a purpose of up to six lines (written joined by
    blanks in НазначениеПлатежа and line by line in НазначениеПлатежа1…6); by default a line break in the
    purpose is a problem like any other.
    """
    encoding = _text.encoding_name(encoding)
    if purpose_lines not in PURPOSE_LINES:
        raise ValueError(f'purpose_lines must be "refuse" or "split", not {purpose_lines!r}')
    problems: list[WriteError] = []
    documents = list(documents)
    if not documents:
        problems.append(WriteError("statement", None, "a file for the bank needs at least one document"))
    for number, document in enumerate(documents, start=1):
        if not isinstance(document, OutgoingDocument):
            raise TypeError(f"document {number} is a {type(document).__name__}, not an OutgoingDocument")
        problems.extend(_document_problems(f"document {number}", document, encoding, purpose_lines == "split"))
    return problems


def _document_problems(section: str, document: OutgoingDocument, encoding: str,
                       split_purpose: bool) -> Iterator[WriteError]:
    pairs = document_pairs(document, split_purpose=split_purpose)
    values = dict(pairs)
    required = _REQUIRED + (_REQUIRED_IN_BUDGET if document.budget is not None else ())
    for key in required:
        if not values.get(key):
            yield WriteError(section, key, f"{_text.quoted(key)} is required and empty")
    _, amount_problem = amount_text(document.amount)
    if amount_problem:
        yield WriteError(section, "Сумма", f"{_text.quoted('Сумма')} {amount_problem}: "
                         f"{_text.quoted(str(document.amount))}")
    if split_purpose:
        yield from _purpose_problems(section, document.purpose)
    seen: set[str] = set()
    for index, (key, value) in enumerate(pairs):
        if key in seen:
            yield WriteError(section, key, f"key {_text.quoted(key)} of extra is written from a field already")
        seen.add(key)
        if index >= len(pairs) - len(document.extra):
            yield from _text.key_problems(section, key, hint=False)
        # A character that breaks the line is reported as such, not also as one the encoding lacks.
        broken = list(_text.value_problems(section, key, value, hint=False))
        yield from broken or _text.encoding_problems(section, key, value, encoding)
        if value and key in _COMPILED_FORMS:
            pattern, what = _COMPILED_FORMS[key]
            if not pattern.fullmatch(value):
                yield WriteError(section, key, f"{_text.quoted(key)} must be {what}, not {_text.quoted(value)}")
        if key in _LONGEST and len(value) > _LONGEST[key]:
            yield WriteError(section, key, f"{_text.quoted(key)} is longer than {_LONGEST[key]} characters "
                             f"({len(value)})")


def _purpose_problems(section: str, purpose: str) -> Iterator[WriteError]:
    lines = purpose_lines(purpose)
    if len(lines) > MOST_PURPOSE_LINES:
        yield WriteError(section, "НазначениеПлатежа", f"the purpose has {len(lines)} lines; at most "
                         f"{MOST_PURPOSE_LINES} can be written in НазначениеПлатежа1…{MOST_PURPOSE_LINES}")
