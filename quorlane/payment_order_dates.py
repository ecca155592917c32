"""The rules of payment orders that began on a date, in one table: an order is held to the rules in force on its
own date, so an order of 2021 is checked as banks checked it in 2021. A change of the rules is one row here.

Where no source says what a rule replaced, the rule has no row before its first date and nothing of it applies
to earlier orders (before the single tax payment, each region's tax office had its own account and bank)."""

from __future__ import annotations

from datetime import date
from typing import Any, Tuple

# Statuses of field 101 that banks take (Точка's list); 20 is no longer taken from 01.04.2026.
_STATUSES = frozenset("01 02 03 04 05 06 07 08 13 15 16 17 19 20 23 24 27 28 29 30 31 32 33 34".split())
_CUSTOMS_BASES = frozenset("ПК КЭ УВ ИЛ ПБ ТГ ТБ ТД ПВ ИН 00".split())

# The rules' names, as the checks ask for them.
SINGLE_TAX_PAYMENT = "single tax payment"  # value True: the tax service's one payee (INN, account, bank), 106-109 "0"
TAX_SERVICE_KPP = "tax service КПП"
TAX_STATUSES = "tax statuses"  # the only statuses (101) of a payment to the tax service
STATUSES = "statuses"  # every status (101) banks take
CUSTOMS_BASES = "customs bases"  # the bases (106) of a customs payment
MONTHLY_PERIOD_REFUSED = "monthly period refused"  # value True: some banks refuse a period (107) МС.MM.YYYY

# (first day, rule, its value from that day on), by rule and date.
CHANGES: Tuple[Tuple[date, str, Any], ...] = (
    (date(2023, 1, 1), SINGLE_TAX_PAYMENT, True),
    (date(2023, 1, 1), TAX_SERVICE_KPP, "770801001"),
    (date(2025, 12, 5), TAX_SERVICE_KPP, "770701001"),
    (date(2024, 1, 1), TAX_STATUSES, frozenset({"01", "13"})),
    (date.min, STATUSES, _STATUSES),
    (date(2026, 4, 1), STATUSES, _STATUSES - {"20"}),
    (date.min, CUSTOMS_BASES, _CUSTOMS_BASES),
    (date(2026, 4, 1), CUSTOMS_BASES, _CUSTOMS_BASES | {"ПР"}),  # customs' decision on undisputed collection
    (date(2026, 4, 1), MONTHLY_PERIOD_REFUSED, True),
)


def in_force(rule: str, day: date) -> Any:
    """The rule's value on the day: that of its latest change on or before the day; None before its first."""
    started = [(since, value) for since, name, value in CHANGES if name == rule and since <= day]
    return max(started, key=lambda change: change[0])[1] if started else None


def latest(rule: str) -> Any:
    """The rule's value from its latest change on."""
    return in_force(rule, date.max)
