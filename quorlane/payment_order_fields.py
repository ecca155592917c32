"""Which key of a document section each field of an OutgoingDocument is written under, and how its value is
spelled there. The checks and the writer both take the pairs from here."""

from __future__ import annotations

import re
from datetime import date
from decimal import Decimal, InvalidOperation

from ._keys import DOCUMENT_ORDER
from .payment_orders import Amount, OutgoingDocument, Party

_PLAIN_AMOUNT = re.compile(r"[0-9]+(?:\.[0-9]+)?")
_CENT = Decimal("0.01")
MOST_INTEGER_DIGITS = 16  # 18 digits in all, 2 of them after the point


def dotted(day: date) -> str:
    return f"{day.day:02d}.{day.month:02d}.{day.year:04d}"


def amount_text(amount: Amount) -> tuple[str, str | None]:
    """The amount as written (rubles, a point, exactly two digits of kopecks), and what is wrong with it
    (None when nothing is). Never rounded: more than two non-zero fractional digits is a problem."""
    shown = str(amount)
    if isinstance(amount, str):
        if not _PLAIN_AMOUNT.fullmatch(amount):
            return shown, "is not an amount in plain form (digits, optionally a point and more digits)"
        value = Decimal(amount)
    else:
        value = Decimal(amount)
    if not value.is_finite():
        return shown, "is not a finite amount"
    if value <= 0:
        return shown, "must be more than zero"
    try:
        cents = value.quantize(_CENT)
    except InvalidOperation:
        return shown, f"has more than {MOST_INTEGER_DIGITS} digits before the point"
    if cents != value:
        return shown, "has more than 2 fractional digits"
    if cents >= 10 ** MOST_INTEGER_DIGITS:
        return shown, f"has more than {MOST_INTEGER_DIGITS} digits before the point"
    return f"{cents:f}", None


def purpose_lines(purpose: str) -> list[str]:
    return purpose.splitlines()


def _party(prefix: str, party: Party) -> list[tuple[str, str]]:
    pairs = [
        (f"{prefix}Счет", party.account),
        (prefix, party.label if party.label is not None else party.name),
        (f"{prefix}ИНН", party.inn),
        (f"{prefix}1", party.name),
        (f"{prefix}РасчСчет", party.account),
        (f"{prefix}Банк1", party.bank.name),
        (f"{prefix}Банк2", party.bank.city),
        (f"{prefix}БИК", party.bank.bic),
        (f"{prefix}Корсчет", party.bank.corr_account),
    ]
    if party.kpp:
        pairs.append((f"{prefix}КПП", party.kpp))
    return pairs


def document_pairs(document: OutgoingDocument, *, split_purpose: bool) -> list[tuple[str, str]]:
    """The document's keys and values in the standard order; a multi-line purpose is written whole (for the
    checks to refuse) unless split_purpose, which writes the lines joined by blanks and each line apart in
    НазначениеПлатежа1…n."""
    pairs = [
        ("Номер", document.number),
        ("Дата", dotted(document.date)),
        ("Сумма", amount_text(document.amount)[0]),
        *_party("Плательщик", document.payer),
        *_party("Получатель", document.payee),
        ("ВидОплаты", document.operation_type),
        ("Очередность", document.priority),
    ]
    if document.payment_kind:
        pairs.append(("ВидПлатежа", document.payment_kind))
    if document.code:
        pairs.append(("Код", document.code))
    lines = purpose_lines(document.purpose)
    if split_purpose and len(lines) > 1:
        pairs.append(("НазначениеПлатежа", " ".join(lines)))
        pairs.extend((f"НазначениеПлатежа{i}", line) for i, line in enumerate(lines, start=1))
    else:
        pairs.append(("НазначениеПлатежа", document.purpose))
    budget = document.budget
    if budget is not None:
        pairs += [
            ("СтатусСоставителя", budget.status), ("ПоказательКБК", budget.kbk), ("ОКАТО", budget.oktmo),
            ("ПоказательОснования", budget.basis), ("ПоказательПериода", budget.period),
            ("ПоказательНомера", budget.doc_number),
            ("ПоказательДаты", "0" if budget.doc_date is None else dotted(budget.doc_date)),
        ]
        if budget.type:
            pairs.append(("ПоказательТипа", budget.type))
    standard = sorted(pairs, key=lambda pair: _RANK.get(pair[0], len(_RANK)))
    return standard + list(document.extra)


_RANK = {key: rank for rank, key in enumerate(DOCUMENT_ORDER)}
