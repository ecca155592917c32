"""Every problem of a list of payment orders at once: what the format cannot hold (line breaks, encodability),
the forms and lengths of values, and the bank's rules (payment_order_rules), as errors and warnings."""

from __future__ import annotations

import re
from collections.abc import Iterable, Iterator, Sequence
from datetime import date
from typing import TYPE_CHECKING, Optional

from . import _text
from ._keys import FORM_FIELD
from .errors import OrderWarning, Problem, WriteError
from .payment_order_fields import amount_text, document_pairs, purpose_lines
from .payment_order_rules import findings, named
from .payment_orders import OutgoingDocument

if TYPE_CHECKING:
    from .bic_directory import BicDirectory

__all__ = ["validate_outgoing", "validate_order_pairs", "PURPOSE_LINES"]

PURPOSE_LINES = ("refuse", "split")
MOST_PURPOSE_LINES = 6
MOST_PURPOSE_LENGTH = 210

# Keys that must have a value in every document (the standard's "required from 1C" column; 1C's own schema
# makes the purpose required too). The rules say when the payee's ИНН, a bank's city and its correspondent account
# may be empty.
_REQUIRED = ("Номер", "Дата", "Сумма", *(f"{party}{suffix}" for party in ("Плательщик", "Получатель") for suffix in
             ("Счет", "", "1", "РасчСчет", "Банк1", "БИК")), "ПлательщикИНН", "ВидОплаты", "НазначениеПлатежа")
# In a budget payment all of its block is required but ПоказательТипа.
_REQUIRED_IN_BUDGET = ("СтатусСоставителя", "ПлательщикКПП", "ПолучательКПП", "ПоказательКБК", "ОКАТО",
                       "ПоказательОснования", "ПоказательПериода", "ПоказательНомера", "ПоказательДаты")

# key: (pattern of the whole value, what it must be)
_FORMS = {
    **{key: (r"[0-9]{20}", "20 digits") for key in
       ("ПлательщикСчет", "ПлательщикРасчСчет", "ПлательщикКорсчет", "ПолучательСчет", "ПолучательРасчСчет",
        "ПолучательКорсчет")},
    # 5 digits: the КИО of a foreign organisation, which some banks take in place of an ИНН.
    **{key: (r"[0-9]{10}|[0-9]{12}|[0-9]{5}|0", '10 or 12 digits (5 for a КИО), or "0"')
       for key in ("ПлательщикИНН", "ПолучательИНН")},
    **{key: (r"[0-9]{9}", "9 digits") for key in ("ПлательщикБИК", "ПолучательБИК")},
    **{key: (r"[0-9]{4}[0-9A-Z]{2}[0-9]{3}|0", '9 characters (4 digits, 2 digits or capital Latin letters, 3 digits), '
             'or "0"') for key in ("ПлательщикКПП", "ПолучательКПП")},
    "ВидОплаты": (r"[0-9]{1,2}", "1 or 2 digits"),
    "Очередность": (r"[1-5]", "one digit from 1 to 5"),
    "СтатусСоставителя": (r"[0-9]{2}", "2 digits"),
    "ПоказательКБК": (r"(?!0{20})[0-9]{20}|0", '20 digits, not all zeros, or "0"'),
    "ОКАТО": (r"(?!0+$)(?:[0-9]{8}|[0-9]{11})|0", '8 or 11 digits, not all zeros, or "0"'),
    "ПоказательОснования": (r".{2}|0", '2 characters, or "0"'),
    "КодНазПлатежа": (r"[1-5]", "one digit from 1 to 5 (payments to a person's account), or empty"),
    "Дата": (r"[0-9]{2}\.[0-9]{2}\.[0-9]{4}", "a date DD.MM.YYYY"),
}
MOST_NAME_LENGTH = 160
_LONGEST = {"Код": 25, "ПоказательПериода": 10, "ПоказательНомера": 15, "ПоказательДаты": 10,
            "ПоказательТипа": 2, "ВидПлатежа": 15, "НазначениеПлатежа": MOST_PURPOSE_LENGTH,
            "Плательщик1": MOST_NAME_LENGTH, "Получатель1": MOST_NAME_LENGTH}
_COMPILED_FORMS = {key: (re.compile(pattern), what) for key, (pattern, what) in _FORMS.items()}


def validate_outgoing(documents: Iterable[OutgoingDocument], *, encoding: str = "cp1251",
                      purpose_lines: str = "refuse", today: Optional[date] = None,
                      directory: Optional[BicDirectory] = None) -> list[Problem]:
    """Every problem of the documents, in document order: a WriteError for each error (what the format cannot
    hold, or what the bank returns: check digits, control keys, forms of the budget fields, required fields),
    an OrderWarning for each warning (a custom not followed or a likely mistake, such as no VAT mention or a
    date more than ten days before `today`, default the current date). dumps_outgoing with the same options
    writes the documents when no problem is an error.

    Each problem's section is "document N" (counting from 1), its document N, its key the format's key
    concerned, its field that key's number on the payment order form, its code the rule's fixed identifier.
    `purpose_lines="split"` accepts a purpose of up to six lines (written joined by blanks in
    НазначениеПлатежа and line by line in НазначениеПлатежа1…6); by default a line break in the purpose is an
    error like any other. `directory`, a BicDirectory (read_bic_directory), adds the checks of each bank against
    it on the order's date: a БИК it lacks or that is not active then, a correspondent account that is not that
    БИК's (errors), a bank name or city other than its own (warnings).
    """
    encoding = _text.encoding_name(encoding)
    if purpose_lines not in PURPOSE_LINES:
        raise ValueError(f'purpose_lines must be "refuse" or "split", not {purpose_lines!r}')
    today = date.today() if today is None else today
    problems: list[Problem] = []
    documents = list(documents)
    if not documents:
        problems.append(WriteError("statement", None, "a file for the bank needs at least one document",
                                   code="no-documents"))
    for number, document in enumerate(documents, start=1):
        if not isinstance(document, OutgoingDocument):
            raise TypeError(f"document {number} is a {type(document).__name__}, not an OutgoingDocument")
        section, split = f"document {number}", purpose_lines == "split"
        pairs = document_pairs(document, split_purpose=split)
        _, amount_problem = amount_text(document.amount)
        problems.extend(_order_problems(section, pairs, document.kind.value, document.budget is not None,
                                        amount_problem, str(document.amount), today, directory))
        problems.extend(_written_problems(section, document, pairs, encoding, split))
    return _without_redundant_warnings(problems)


def validate_order_pairs(pairs: Sequence[tuple[str, str]], *, kind: str, section: str = "document 1",
                         today: Optional[date] = None, directory: Optional[BicDirectory] = None) -> list[Problem]:
    """The problems of one payment order as another program wrote it: its document section's (key, value)
    pairs in file order (for a repeated key the last value counts) and its kind (the text after
    "СекцияДокумент="). The same checks as validate_outgoing but those of writing (line breaks, encodability,
    keys). It is a budget payment when СтатусСоставителя is filled. `directory` as for validate_outgoing."""
    values = dict(pairs)
    amount = values.get("Сумма") or ""
    amount_problem = amount_text(amount)[1] if amount else None
    budget = values.get("СтатусСоставителя", "") not in ("", "0")
    return _without_redundant_warnings(list(_order_problems(section, list(values.items()), kind, budget,
                                                            amount_problem, amount,
                                                            date.today() if today is None else today, directory)))


def _without_redundant_warnings(problems: list[Problem]) -> list[Problem]:
    """The problems less the warnings on a key of a document that has an error already: it is to be changed
    anyway (a purpose with a character the encoding lacks is not also one some banks drop)."""
    wrong = {(p.section, p.key) for p in problems if isinstance(p, WriteError)}
    return [p for p in problems if isinstance(p, WriteError) or (p.section, p.key) not in wrong]


def _order_problems(section: str, pairs: list[tuple[str, str]], kind: str, budget: bool,
                    amount_problem: Optional[str], amount: str, today: date,
                    directory: Optional[BicDirectory]) -> Iterator[Problem]:
    """The presence, forms and lengths of values, then the bank's rules on the values of a good form."""
    values = dict(pairs)
    malformed: set[Optional[str]] = set()  # keys whose rules have nothing to add
    for problem in _form_problems(section, pairs, budget, amount_problem, amount):
        malformed.add(problem.key)
        yield problem
    for level, key, code, message in findings(values, kind, today, directory):
        if key not in malformed:
            kind_of_problem = WriteError if level == "error" else OrderWarning
            yield kind_of_problem(section, key, message, code=code, field=FORM_FIELD.get(key))


def _form_problems(section: str, pairs: list[tuple[str, str]], budget: bool, amount_problem: Optional[str],
                   amount: str) -> Iterator[WriteError]:
    values = dict(pairs)
    for key in _REQUIRED + (_REQUIRED_IN_BUDGET if budget else ()):
        if not values.get(key):
            yield WriteError(section, key, f"{named(key)} is required and empty", code="required",
                             field=FORM_FIELD.get(key))
    if amount_problem:
        yield WriteError(section, "Сумма", f"{named('Сумма')} {amount_problem}: {_text.quoted(amount)}",
                         code="amount", field=FORM_FIELD["Сумма"])
    for key, value in pairs:
        field = FORM_FIELD.get(key)
        if value and key in _COMPILED_FORMS:
            pattern, what = _COMPILED_FORMS[key]
            if not pattern.fullmatch(value):
                yield WriteError(section, key, f"{named(key)} must be {what}, not {_text.quoted(value)}",
                                 code="form", field=field)
        if key in _LONGEST and len(value) > _LONGEST[key]:
            yield WriteError(section, key, f"{named(key)} is longer than {_LONGEST[key]} characters "
                             f"({len(value)})", code="too-long", field=field)


def _written_problems(section: str, document: OutgoingDocument, pairs: list[tuple[str, str]], encoding: str,
                      split_purpose: bool) -> Iterator[WriteError]:
    """What stops the document's keys and values from being written and read back."""
    if split_purpose:
        yield from _purpose_problems(section, document.purpose)
    seen: set[str] = set()
    for index, (key, value) in enumerate(pairs):
        if key in seen:
            yield WriteError(section, key, f"key {_text.quoted(key)} of extra is written from a field already",
                             code="extra-key-repeated")
        seen.add(key)
        if index >= len(pairs) - len(document.extra):
            # A key of extra may be anything; the fields' own keys are the format's.
            broken_key = list(_text.key_problems(section, key, hint=False))
            yield from broken_key or _text.encoding_problems(section, key, key, encoding,
                                                             what=f"key {_text.quoted(key)}")
        # A character that breaks the line is reported as such, not also as one the encoding lacks.
        broken = list(_text.value_problems(section, key, value, hint=False))
        for problem in broken or _text.encoding_problems(section, key, value, encoding):
            problem.field = FORM_FIELD.get(key)
            yield problem


def _purpose_problems(section: str, purpose: str) -> Iterator[WriteError]:
    lines = purpose_lines(purpose)
    if len(lines) > MOST_PURPOSE_LINES:
        yield WriteError(section, "НазначениеПлатежа", f"the purpose has {len(lines)} lines; at most "
                         f"{MOST_PURPOSE_LINES} can be written in НазначениеПлатежа1…{MOST_PURPOSE_LINES}",
                         code="purpose-lines", field=FORM_FIELD["НазначениеПлатежа"])
