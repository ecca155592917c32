"""What a statement says of its balances, reconciled: each account section's opening + income - expense = closing,
and its income and expense against the documents of that account and period that the file holds."""

from __future__ import annotations

from decimal import Context, Decimal, Inexact, InvalidOperation, Overflow, localcontext
from typing import NamedTuple

import quorlane_py

from .sections import Section, SectionReading

__all__ = ["Finding", "reconcile"]

# Every sum and comparison exact: the reader takes amounts of up to 29 digits with up to 28 of them fractional, so
# that one amount aligned with another spans 57 digits, and a sum of many a few more. Decimal's default context
# (28 digits) would round them, and fail to quantize them; rounding here would be an error, not a result.
_EXACT = Context(prec=100, traps=[Inexact, InvalidOperation, Overflow])


class Finding(NamedTuple):
    """One result of the reconciliation: the line it concerns, "error" (the figures differ) or "note" (what could
    not be reconciled, and why), and the message naming the account, the dates and the figures."""

    line: int
    level: str
    message: str


def _day(iso: str) -> tuple[int, int, int]:
    """A YYYY-MM-DD date (signed years included) as a comparable key."""
    year, month, day = iso.rsplit("-", 2)
    return int(year), int(month), int(day)


def _period(interval: quorlane_py.Interval) -> str:
    if interval.date_end is None:
        return f"from {interval.date_start}"
    if interval.date_end == interval.date_start:
        return interval.date_start
    return f"{interval.date_start} to {interval.date_end}"


class _Movement(NamedTuple):
    date: str
    day: tuple[int, int, int]
    amount: Decimal
    line: int
    number: str


def _movements(reading: SectionReading) -> tuple[dict[str, list[_Movement]], dict[str, list[_Movement]]]:
    """The documents' money into and out of each account they name: the recipient's account (ПолучательСчет)
    on the day it was credited, else the document's date; the payer's (ПлательщикСчет) on the day it was debited,
    else the document's date."""
    incoming: dict[str, list[_Movement]] = {}
    outgoing: dict[str, list[_Movement]] = {}
    for document, section in zip(reading.statement.documents, reading.documents):
        amount = Decimal(document.amount)
        for side, account, date in ((incoming, document.payee_account, document.income_date),
                                    (outgoing, document.counterparty_account, document.outcome_date)):
            date = date or document.doc_date
            side.setdefault(account, []).append(_Movement(date, _day(date), amount, section.start_line,
                                                          document.doc_number))
    return incoming, outgoing


def _line(section: Section, key: str) -> int:
    lines = dict(zip((k for k, _ in section.attributes), section.lines))
    return lines.get(key, section.start_line)


def reconcile(reading: SectionReading) -> list[Finding]:
    """Every account section of the statement, in file order:

    - where it states all four amounts, opening + income - expense must equal the closing balance;
    - where some document of the file names its account (as payer or recipient), the amounts of the documents
      that pay into the account within the section's dates (the start day alone when it has no end) must add up
      to its income (ВсегоПоступило), and those that pay out of it to its expense (ВсегоСписано); a document of
      the account that falls in none of its sections' dates is noted;
    - where no document names its account (the file holds another account's documents, or none), its income and
      expense are noted as not reconciled: that is no fault of the statement.
    """
    with localcontext(_EXACT):
        return _reconcile(reading)


def _reconcile(reading: SectionReading) -> list[Finding]:
    incoming, outgoing = _movements(reading)
    findings: list[Finding] = []
    covered: dict[str, list[tuple[tuple[int, int, int], tuple[int, int, int]]]] = {}
    for section in reading.sections:
        if section.kind != "account":
            continue
        interval = section.interval()  # the section's own figures: the statement's are merged by account
        number = section.get("РасчСчет") or ""
        where = f"account {number}, {_period(interval)}"
        opening, closing = Decimal(interval.start_amount), interval.end_amount
        income, expense = interval.total_income, interval.total_expense
        if closing is not None and income is not None and expense is not None:
            computed = opening + Decimal(income) - Decimal(expense)
            if computed != Decimal(closing):
                findings.append(Finding(_line(section, "КонечныйОстаток"), "error",
                                        f"{where}: opening {interval.start_amount} + income {income} - expense "
                                        f"{expense} = {computed:f}, but the closing balance is {closing}"))
        first = _day(interval.date_start)
        last = first if interval.date_end is None else _day(interval.date_end)
        covered.setdefault(number, []).append((first, last))
        if number not in incoming and number not in outgoing:
            if income is not None or expense is not None:
                findings.append(Finding(section.start_line, "note",
                                        f"{where}: no document of the file names this account, so its income and "
                                        "expense are not reconciled"))
            continue
        for stated, key, movements, what, way in ((income, "ВсегоПоступило", incoming, "income", "incoming"),
                                                  (expense, "ВсегоСписано", outgoing, "expense", "outgoing")):
            if stated is None:
                continue
            within = [m for m in movements.get(number, ()) if first <= m.day <= last]
            total = sum((m.amount for m in within), Decimal(0))
            if total != Decimal(stated):
                count = f"{len(within)} {way} document{'' if len(within) == 1 else 's'}"
                findings.append(Finding(_line(section, key), "error", f"{where}: {what} {stated} stated, "
                                                                      f"{_figure(total, stated)} in {count}"))
    if covered:
        findings.extend(_outside(covered, incoming, outgoing))
        findings.extend(_strangers(reading, covered))
    return sorted(findings, key=lambda finding: finding.line)


def _figure(total: Decimal, like: str) -> str:
    """The sum with at least the decimals of the stated figure beside it (0.00, not 0)."""
    places = Decimal(like).as_tuple().exponent
    if isinstance(places, int) and total.as_tuple().exponent > places:  # type: ignore[operator]
        total = total.quantize(Decimal(1).scaleb(places))
    return f"{total:f}"


def _strangers(reading: SectionReading, covered: dict[str, list[tuple[tuple[int, int, int], tuple[int, int, int]]]]
               ) -> list[Finding]:
    """The documents that name none of the statement's accounts, payer or recipient: another account's."""
    return [Finding(section.start_line, "note", f"document {document.doc_number} names none of the statement's "
                                                f"accounts (payer {document.counterparty_account}, recipient "
                                                f"{document.payee_account})")
            for document, section in zip(reading.statement.documents, reading.documents)
            if document.counterparty_account not in covered and document.payee_account not in covered]


def _outside(covered: dict[str, list[tuple[tuple[int, int, int], tuple[int, int, int]]]],
             incoming: dict[str, list[_Movement]], outgoing: dict[str, list[_Movement]]) -> list[Finding]:
    findings = []
    for movements, side in ((incoming, "into"), (outgoing, "out of")):
        for number, periods in covered.items():
            for m in movements.get(number, ()):
                if not any(first <= m.day <= last for first, last in periods):
                    findings.append(Finding(m.line, "note", f"document {m.number} pays {m.amount:f} {side} account "
                                                            f"{number} on {m.date}, outside the dates of its sections"))
    return findings
