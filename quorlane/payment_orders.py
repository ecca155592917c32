"""Payment orders for the bank (the accounting side's 1c_to_kl.txt): typed, frozen, keyword-only records.

The constructors check types only (a float amount, a date given as text and the like are TypeError at once)
and keep each text as a plain str (one given as a str subclass is copied); validate_outgoing checks the values
and reports every problem.
"""

from __future__ import annotations

import enum
import sys
from dataclasses import dataclass, field
from datetime import date
from decimal import Decimal
from typing import Any, Callable, Mapping, Optional, Tuple, TypeVar, Union

__all__ = ["Kind", "Bank", "Party", "Budget", "OutgoingDocument", "Amount"]

Amount = Union[Decimal, int, str]
_T = TypeVar("_T")


def _record(cls: type[_T]) -> type[_T]:
    """A frozen dataclass whose constructor takes keywords only (Python 3.9 lacks kw_only)."""
    if sys.version_info >= (3, 10):
        return dataclass(frozen=True, kw_only=True)(cls)
    made: Any = dataclass(frozen=True)(cls)
    positional_init: Callable[..., None] = made.__init__

    def __init__(self: Any, **fields: Any) -> None:
        positional_init(self, **fields)

    __init__.__doc__ = positional_init.__doc__
    made.__init__ = __init__
    return made


class Kind(str, enum.Enum):
    """The document kinds of the exchange standard (and the bank order that statements carry)."""

    PAYMENT_ORDER = "Платежное поручение"
    LETTER_OF_CREDIT = "Аккредитив"
    PAYMENT_REQUEST = "Платежное требование"
    COLLECTION_ORDER = "Инкассовое поручение"
    BANK_ORDER = "Банковский ордер"

    def __str__(self) -> str:
        return str(self.value)


def _require(owner: str, name: str, value: object, *types: type, optional: bool = False) -> None:
    if optional and value is None:
        return
    if not isinstance(value, types) or isinstance(value, bool):
        wanted = " or ".join(t.__name__ for t in types) + (" or None" if optional else "")
        raise TypeError(f"{owner}.{name} must be {wanted}, not {type(value).__name__}")


def plain(text: str) -> str:
    """The characters of a str as a str itself: a subclass may show other text through __str__ or __format__
    than it holds, and what is checked must be what is written."""
    return text if type(text) is str else str.__str__(text)


def _keep_plain_text(record: object, *names: str) -> None:
    for name in names:
        value = getattr(record, name)
        if isinstance(value, str):
            object.__setattr__(record, name, plain(value))


@_record
class Bank:
    """A party's bank: ПлательщикБанк1 (name), ПлательщикБанк2 (city), ПлательщикБИК, ПлательщикКорсчет."""

    name: str
    city: str
    bic: str
    corr_account: str

    def __post_init__(self) -> None:
        for name in ("name", "city", "bic", "corr_account"):
            _require("Bank", name, getattr(self, name), str)
        _keep_plain_text(self, "name", "city", "bic", "corr_account")


@_record
class Party:
    """The payer or the recipient. `account` is written as both ПлательщикСчет and ПлательщикРасчСчет, `name`
    as Плательщик1 and, unless `label` says otherwise (1C writes "ИНН 7701234567 ООО ..." there), as
    Плательщик; `kpp` may be empty except in a budget payment."""

    name: str
    inn: str
    account: str
    bank: Bank
    kpp: str = ""
    label: Optional[str] = None

    def __post_init__(self) -> None:
        for name in ("name", "inn", "account", "kpp"):
            _require("Party", name, getattr(self, name), str)
        _require("Party", "label", self.label, str, optional=True)
        _require("Party", "bank", self.bank, Bank)
        _keep_plain_text(self, "name", "inn", "account", "kpp", "label")


@_record
class Budget:
    """The fields of a tax or other budget payment: СтатусСоставителя (status), ПоказательКБК (kbk), ОКАТО (oktmo,
    which holds the OKTMO code), ПоказательОснования (basis), ПоказательПериода (period), ПоказательНомера
    (doc_number), ПоказательДаты (doc_date; None writes "0"), ПоказательТипа (type, optional). An indicator
    that does not apply is "0"."""

    status: str
    kbk: str
    oktmo: str
    basis: str = "0"
    period: str = "0"
    doc_number: str = "0"
    doc_date: Optional[date] = None
    type: str = ""

    def __post_init__(self) -> None:
        for name in ("status", "kbk", "oktmo", "basis", "period", "doc_number", "type"):
            _require("Budget", name, getattr(self, name), str)
        _require("Budget", "doc_date", self.doc_date, date, optional=True)
        _keep_plain_text(self, "status", "kbk", "oktmo", "basis", "period", "doc_number", "type")


@_record
class OutgoingDocument:
    """One document for the bank.

    `amount` is a Decimal, an int or a str in plain form ("6603.75"); a float is refused, since it cannot say
    which amount it means. `date` is a datetime.date. `purpose` is НазначениеПлатежа; `operation_type` is
    ВидОплаты ("01" for a payment order), `priority` Очередность, `payment_kind` ВидПлатежа ("" or e.g.
    "срочно"), `code` Код (the payment's unique identifier, or "0"). `extra` holds further standard keys the
    fields do not cover (e.g. {"КодНазПлатежа": "1"}), written after them; it is kept as a tuple of pairs.
    """

    number: str
    date: date
    amount: Amount
    payer: Party
    payee: Party
    purpose: str
    kind: Kind = Kind.PAYMENT_ORDER
    operation_type: str = "01"
    priority: str = "5"
    payment_kind: str = ""
    code: str = ""
    budget: Optional[Budget] = None
    extra: Tuple[Tuple[str, str], ...] = field(default=())

    def __post_init__(self) -> None:
        for name in ("number", "purpose", "operation_type", "priority", "payment_kind", "code"):
            _require("OutgoingDocument", name, getattr(self, name), str)
        if isinstance(self.amount, float):
            raise TypeError("OutgoingDocument.amount must be Decimal, int or str, not float: a float cannot say "
                            "which amount it means")
        _require("OutgoingDocument", "amount", self.amount, Decimal, int, str)
        _require("OutgoingDocument", "date", self.date, date)
        _require("OutgoingDocument", "payer", self.payer, Party)
        _require("OutgoingDocument", "payee", self.payee, Party)
        _require("OutgoingDocument", "kind", self.kind, Kind)
        _require("OutgoingDocument", "budget", self.budget, Budget, optional=True)
        extra: Any = self.extra
        pairs = tuple(extra.items()) if isinstance(extra, Mapping) else tuple(extra)
        if not all(isinstance(p, tuple) and len(p) == 2 and all(isinstance(x, str) for x in p) for p in pairs):
            raise TypeError("OutgoingDocument.extra must be a mapping or pairs of str to str")
        object.__setattr__(self, "extra", tuple((plain(key), plain(value)) for key, value in pairs))
        _keep_plain_text(self, "number", "amount", "purpose", "operation_type", "priority", "payment_kind", "code")
