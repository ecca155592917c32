"""The rules a bank applies to a payment order beyond the format: check digits, control keys, the budget
fields, and the customs of the trade. One function per rule; each takes the order's values by key and yields
(level, key, code, message) for what it finds. The forms of single values (digits, lengths) are checked with
the format, in payment_order_checks."""

from __future__ import annotations

import re
from collections.abc import Iterator, Mapping
from datetime import date, datetime
from itertools import cycle
from typing import Callable, Optional, Tuple

from ._keys import FORM_FIELD
from ._text import quoted
from .budget_payments import (CUSTOMS_ACCOUNT, CUSTOMS_KPP, CUSTOMS_OKTMO, SINGLE_TAX_KBK, TAX_SERVICE_ACCOUNT, TAX_SERVICE_INN,
                              TAX_SERVICE_KPP, TAX_SERVICE_KPP_SINCE, TAX_SERVICE_OLD_KPP)

Finding = Tuple[str, str, str, str]  # level, key, code, message
PARTIES = ("Плательщик", "Получатель")
BUDGET_INDICATORS = ("ПоказательКБК", "ОКАТО", "ПоказательОснования", "ПоказательПериода", "ПоказательНомера",
                     "ПоказательДаты", "ПоказательТипа")
NONE = ("", "0")  # how an order says "no value"

# Statuses of field 101 a bank takes (Точка's list from 01.04.2026, which drops 20); statuses for the tax service
# (from 2024) and for customs.
STATUSES = frozenset("01 02 03 04 05 06 07 08 13 15 16 17 19 20 23 24 27 28 29 30 31 32 33 34".split())
STATUS_20_UNTIL = date(2026, 4, 1)
TAX_STATUSES, TAX_STATUSES_SINCE = frozenset({"01", "13"}), date(2024, 1, 1)
CUSTOMS_STATUSES = frozenset({"06", "16", "17", "28", "30", "34"})
CUSTOMS_BASES = frozenset("ПК КЭ УВ ИЛ ПБ ТГ ТБ ТД ПВ ИН 00".split())
CUSTOMS_BASIS_PR_SINCE = date(2026, 4, 1)
MONTHLY_PERIOD_UNTIL = date(2026, 4, 1)
# Payee accounts of "other" budget payments that need no ОКТМО and (03212) need a УИН.
OKTMO_FREE_ACCOUNTS = ("03212", "03222", "03232", "03242", "03252", "03262", "03272", "03214", "03224", "03234",
                       "03244")
# Codes of a person's identity document in field 108 ("NN;number").
PERSON_DOCUMENTS = frozenset("01 02 03 04 05 06 07 08 09 10 11 12 13 14 22 24 25 26 28 29 30".split())
# The characters one bank's system keeps in a purpose; it drops the others.
_PURPOSE_CHARACTERS = re.compile(r"[0-9A-Za-zА-Яа-яЁё№ `\-=~!@#$%^&*()_+\[\]{};':\",.<>?|/\\]*")
_PERIOD = re.compile(r"(МС\.(0[1-9]|1[0-2])|КВ\.0[1-4]|ПЛ\.0[12]|ГД\.00)\.[0-9]{4}|[0-9]{2}\.[0-9]{2}\.[0-9]{4}"
                     r"|[0-9]{8}|0")
_DOTTED_DATE = re.compile(r"[0-9]{2}\.[0-9]{2}\.[0-9]{4}")
_ACCOUNT_IN_NAME = re.compile(r"(?<![0-9])4[0-9]{19}(?![0-9])")
PERSONS_ACCOUNTS = ("40817", "40820", "423", "426")  # the balance accounts of natural persons
STALE_AFTER_DAYS = 10  # an order is valid for presentation for ten days after its date


def _digits(text: str, *lengths: int) -> bool:
    return text.isascii() and text.isdigit() and len(text) in lengths


def inn_is_valid(inn: str) -> bool:
    """A 10- or 12-digit ИНН whose check digits agree (Σ digit × weight mod 11 mod 10)."""
    def check(digits: str, weights: tuple[int, ...]) -> str:
        return str(sum(int(d) * w for d, w in zip(digits, weights)) % 11 % 10)

    if _digits(inn, 10):
        return inn[9] == check(inn, (2, 4, 10, 3, 5, 9, 4, 6, 8))
    return _digits(inn, 12) and inn[10] == check(inn, (7, 2, 4, 10, 3, 5, 9, 4, 6, 8)) \
        and inn[11] == check(inn, (3, 7, 2, 4, 10, 3, 5, 9, 4, 6, 8))


def account_key_is_valid(account: str, bic: str) -> bool:
    """The control key of a 20-digit account under its bank's БИК (Bank of Russia, 08.09.1997 N 515): the three
    conditional digits (the БИК's last three for an account in a credit institution; "0" and the БИК's digits
    5-6 for one held in a Bank of Russia division, which correspondent accounts and the treasury's 40102 are)
    and the account, weighted 7, 1, 3, ..., sum to a multiple of 10."""
    in_central_bank = bic[6:] in ("000", "001", "002") or account.startswith(("30101", "40102"))
    digits = ("0" + bic[4:6] if in_central_bank else bic[6:]) + account
    return sum(int(d) * w for d, w in zip(digits, cycle((7, 1, 3)))) % 10 == 0


def uin_check_digit(body: str) -> int:
    """The check digit of a УИН (ГИС ГМП): Σ digit × weight mod 11 with weights 1..10 repeated; on 10 again with
    the weights starting at 3; on 10 again 0."""
    for start in (0, 2):
        remainder = sum(int(d) * ((start + i) % 10 + 1) for i, d in enumerate(body)) % 11
        if remainder < 10:
            return remainder
    return 0


class Order:
    """One order's values by key (a missing key reads as ""), its date and kind, and which payee it pays."""

    def __init__(self, values: Mapping[str, str], kind: str, today: date) -> None:
        self.values, self.kind, self.today = values, kind, today
        self.date = _parse_date(self["Дата"])
        self.status = self["СтатусСоставителя"]
        self.budget = self.status not in NONE
        kbk, account = self["ПоказательКБК"], self["ПолучательСчет"]
        self.tax = self.budget and (account == TAX_SERVICE_ACCOUNT or kbk.startswith("182")
                                    or self["ПолучательИНН"] == TAX_SERVICE_INN)
        self.customs = self.budget and not self.tax and (account == CUSTOMS_ACCOUNT or kbk.startswith("153"))
        self.other_budget = self.budget and not self.tax and not self.customs

    def __getitem__(self, key: str) -> str:
        return self.values.get(key) or ""

    def on_or_after(self, day: date) -> bool:
        return self.date is not None and self.date >= day


def _parse_date(text: str) -> Optional[date]:
    try:
        return datetime.strptime(text, "%d.%m.%Y").date() if _DOTTED_DATE.fullmatch(text) else None
    except ValueError:
        return None


def named(key: str) -> str:
    """The key and its field number, as messages name them: "ПлательщикИНН" (field 60)."""
    number = FORM_FIELD.get(key)
    return quoted(key) if number is None else f"{quoted(key)} (field {number})"


def error(key: str, code: str, message: str) -> Finding:
    return ("error", key, code, message)


def warning(key: str, code: str, message: str) -> Finding:
    return ("warning", key, code, message)


Rule = Callable[[Order], Iterator[Finding]]

# --- numbers of the parties (ИНН, КПП, accounts) ---


def inn_check_digits(o: Order) -> Iterator[Finding]:
    for key in ("ПлательщикИНН", "ПолучательИНН"):
        inn = o[key]
        if _digits(inn, 5):
            yield warning(key, "inn-is-kio", f"{named(key)} of 5 digits is a foreign organisation's КИО, which "
                          "only some banks take in place of an ИНН")
        if not _digits(inn, 10, 12):
            continue  # "0" or a wrong form, reported with the format
        if inn.startswith("00"):
            yield error(key, "inn-region", f"{named(key)} cannot start with 00: {quoted(inn)}")
        elif not inn_is_valid(inn):
            yield error(key, "inn-check-digit", f"{named(key)} has a wrong check digit: {quoted(inn)}")


def payer_inn_present(o: Order) -> Iterator[Finding]:
    if o["ПлательщикИНН"] != "0":
        return
    person_paying_tax = (o.tax and o.status == "13" and o["ПолучательСчет"].startswith("03100")
                         and _digits(o["Код"], 20, 25))
    if not (person_paying_tax or (o.customs and o.status == "30") or o.other_budget):
        yield error("ПлательщикИНН", "inn-required", f'{named("ПлательщикИНН")} may be "0" only in a budget '
                    "payment by a person without one (to the tax service with status 13 and a УИН)")


def customs_payer_inn_length(o: Order) -> Iterator[Finding]:
    wanted = {"06": 10, "16": 12, "17": 12}.get(o.status) if o.customs else None
    if wanted and len(o["ПлательщикИНН"]) != wanted:
        yield error("ПлательщикИНН", "inn-length-for-status", f'{named("ПлательщикИНН")} must have {wanted} digits '
                    f"in a customs payment with status {o.status}")


def budget_payee_inn(o: Order) -> Iterator[Finding]:
    if o.budget and not _digits(o["ПолучательИНН"], 10):
        yield error("ПолучательИНН", "budget-payee-inn", f'{named("ПолучательИНН")} must be the 10 digits of a '
                    "public body in a budget payment")


def kpp_of_person(o: Order) -> Iterator[Finding]:
    for party in PARTIES:
        key = party + "КПП"
        if len(o[party + "ИНН"]) == 12 and o[key] not in NONE:
            level = error if o.budget and party == "Плательщик" else warning
            yield level(key, "kpp-of-person", f"{named(key)} must be empty or \"0\": a 12-digit ИНН (a person or "
                        "an individual entrepreneur) has no КПП")


def budget_kpp_start(o: Order) -> Iterator[Finding]:
    for key in ("ПлательщикКПП", "ПолучательКПП"):
        if o.budget and len(o[key]) == 9 and o[key].startswith("00"):
            yield error(key, "kpp-region", f"{named(key)} cannot start with 00 in a budget payment: {quoted(o[key])}")


def budget_payer_kpp(o: Order) -> Iterator[Finding]:
    if o.budget and len(o["ПлательщикИНН"]) == 10 and o["ПлательщикКПП"] == "0" and o.status != "01":
        yield error("ПлательщикКПП", "payer-kpp-required", f'{named("ПлательщикКПП")} is required in a budget '
                    'payment by an organisation ("0" only with status 01)')


def budget_payee_kpp(o: Order) -> Iterator[Finding]:
    if o.budget and o["ПолучательКПП"] == "0":
        yield error("ПолучательКПП", "payee-kpp-required", f'{named("ПолучательКПП")} is required in a budget payment')


def account_keys(o: Order) -> Iterator[Finding]:
    for party in PARTIES:
        bic = o[party + "БИК"]
        if not _digits(bic, 9):
            continue
        for key in (party + "Счет", party + "РасчСчет"):
            account = o[key]
            if key == party + "РасчСчет" and account == o[party + "Счет"]:
                continue  # the same number under both keys: reported once
            # Treasury accounts (03...) carry no key.
            if _digits(account, 20) and not account.startswith("03") and not account_key_is_valid(account, bic):
                yield error(key, "account-key", f"{named(key)} does not match its control key under БИК "
                            f"{bic}: {quoted(account)}")


def correspondent_accounts(o: Order) -> Iterator[Finding]:
    for party in PARTIES:
        key, bic = party + "Корсчет", o[party + "БИК"]
        corr = o[key]
        if not (_digits(corr, 20) and _digits(bic, 9)):
            continue
        if not corr.startswith(("30101", "40102")):
            yield error(key, "corr-account-form", f"{named(key)} must start with 30101 (a bank's correspondent "
                        f"account) or 40102 (the treasury's single account): {quoted(corr)}")
        elif corr.startswith("30101") and corr[17:] != bic[6:]:
            yield error(key, "corr-account-bic", f"{named(key)} must end with the last 3 digits of БИК {bic}: "
                        f"{quoted(corr)}")
        elif not account_key_is_valid(corr, bic):
            yield error(key, "account-key", f"{named(key)} does not match its control key under БИК {bic}: "
                        f"{quoted(corr)}")


def treasury_correspondent_account(o: Order) -> Iterator[Finding]:
    if o["ПолучательСчет"].startswith("03") and not o["ПолучательКорсчет"].startswith("40102"):
        yield error("ПолучательКорсчет", "treasury-corr-account", f'{named("ПолучательКорсчет")} must be the '
                    "treasury's single account (40102...) when the payee's account is a treasury one (03...)")


def payer_is_payee(o: Order) -> Iterator[Finding]:
    if o["ПлательщикСчет"] and o["ПлательщикСчет"] == o["ПолучательСчет"]:
        yield warning("ПолучательСчет", "payer-is-payee", f'{named("ПолучательСчет")} is the payer\'s own account')


def payee_name_account(o: Order) -> Iterator[Finding]:
    for key in ("Получатель", "Получатель1"):
        if _ACCOUNT_IN_NAME.search(o[key]):
            yield error(key, "account-in-name", f"{named(key)} must not contain an account number")
            return


# --- the document ---


def number_form(o: Order) -> Iterator[Finding]:
    number = o["Номер"]
    if number and not (_digits(number, 1, 2, 3, 4, 5, 6) and number.strip("0")):
        yield error("Номер", "number-form", f'{named("Номер")} must be 1 to 6 digits, not zero: {quoted(number)}')


def date_in_window(o: Order) -> Iterator[Finding]:
    if o.date is None:
        if _DOTTED_DATE.fullmatch(o["Дата"]):
            yield error("Дата", "date-form", f'{named("Дата")} is not a day of the calendar: {quoted(o["Дата"])}')
        return
    if o.date > o.today:
        yield warning("Дата", "date-future", f'{named("Дата")} is in the future; banks refuse to take it before '
                      "its day")
    elif (o.today - o.date).days > STALE_AFTER_DAYS:
        yield warning("Дата", "date-stale", f'{named("Дата")} is more than {STALE_AFTER_DAYS} days ago; an order '
                      "is valid for ten days after its date")


def purpose_text(o: Order) -> Iterator[Finding]:
    purpose = o["НазначениеПлатежа"]
    if purpose and not purpose.strip():
        yield error("НазначениеПлатежа", "purpose-blank", f'{named("НазначениеПлатежа")} is only blanks')
    elif not _PURPOSE_CHARACTERS.fullmatch(purpose):
        odd = next(c for c in purpose if not _PURPOSE_CHARACTERS.fullmatch(c))
        yield warning("НазначениеПлатежа", "purpose-characters", f'{named("НазначениеПлатежа")} contains '
                      f"{quoted(odd)}, which some banks drop (they keep letters, digits, № and ASCII punctuation)")


def vat_mention(o: Order) -> Iterator[Finding]:
    if not o.budget and "НДС" not in o["НазначениеПлатежа"].upper():
        yield warning("НазначениеПлатежа", "vat-missing", f'{named("НазначениеПлатежа")} does not mention VAT '
                      '("в т.ч. НДС ..." or "Без НДС")')


def operation_type(o: Order) -> Iterator[Finding]:
    kind = o["ВидОплаты"]
    if o.budget and kind not in ("01", "02", "06"):
        yield error("ВидОплаты", "budget-operation-type", f'{named("ВидОплаты")} must be 01, 02 or 06 in a budget '
                    f"payment, not {quoted(kind)}")
    elif o.kind == "Платежное поручение" and kind and kind != "01":
        yield warning("ВидОплаты", "operation-type", f'{named("ВидОплаты")} of a payment order is 01, not '
                      f"{quoted(kind)}")


def purpose_code_for_person(o: Order) -> Iterator[Finding]:
    if o["КодНазПлатежа"] and not o["ПолучательСчет"].startswith(PERSONS_ACCOUNTS):
        yield warning("КодНазПлатежа", "purpose-code-not-person", f'{named("КодНазПлатежа")} is for payments to a '
                      "person's account (40817, 40820, 423, 426) and empty otherwise")


def voluntary_tax_priority(o: Order) -> Iterator[Finding]:
    if o.tax and o.kind == "Платежное поручение" and o["Очередность"] not in ("", "5"):
        yield warning("Очередность", "tax-priority", f'{named("Очередность")} of a tax payment made by the payer is 5')


# --- budget payments: field 22 and fields 101, 104-110 ---


def budget_status(o: Order) -> Iterator[Finding]:
    if not o.budget:
        filled = [key for key in BUDGET_INDICATORS if o[key] not in NONE]
        if filled:
            yield error("СтатусСоставителя", "status-missing", f'{named("СтатусСоставителя")} is required when '
                        f"{named(filled[0])} is filled")
    elif o.status not in STATUSES or (o.status == "20" and o.on_or_after(STATUS_20_UNTIL)):
        yield error("СтатусСоставителя", "status-unknown", f'{named("СтатусСоставителя")} is not a status banks '
                    f"take: {quoted(o.status)}")
    elif o.tax and o.on_or_after(TAX_STATUSES_SINCE) and o.status not in TAX_STATUSES:
        yield error("СтатусСоставителя", "status-tax", f'{named("СтатусСоставителя")} of a payment to the tax '
                    f"service must be 01 or 13, not {quoted(o.status)}")
    elif o.customs and o.status not in CUSTOMS_STATUSES:
        yield error("СтатусСоставителя", "status-customs", f'{named("СтатусСоставителя")} of a customs payment '
                    f"must be 06, 16, 17, 28, 30 or 34, not {quoted(o.status)}")
    elif o.other_budget and o.status in TAX_STATUSES | CUSTOMS_STATUSES:
        yield warning("СтатусСоставителя", "status-other", f'{named("СтатусСоставителя")} {quoted(o.status)} is '
                      "one for the tax service or customs, but the payee is neither")


def budget_uin(o: Order) -> Iterator[Finding]:
    code = o["Код"]
    if o.budget and not code:
        yield error("Код", "uin-missing", f'{named("Код")} is required in a budget payment: the УИН, or "0"')
    elif code == "0" and (o.status in ("31", "33") or (o.other_budget and o["ПолучательСчет"].startswith("03212"))):
        yield error("Код", "uin-required", f'{named("Код")} must be a УИН, not "0", in this budget payment')
    elif code not in NONE:
        level = error if o.budget else warning
        if not _digits(code, 20, 25) or not code.strip("0"):
            yield level("Код", "uin-form", f'{named("Код")} must be a УИН of 20 or 25 digits, or "0": {quoted(code)}')
        elif int(code[-1]) != uin_check_digit(code[:-1]):
            yield level("Код", "uin-check-digit", f'{named("Код")} has a wrong check digit: {quoted(code)}')


def tax_payee(o: Order) -> Iterator[Finding]:
    if not o.tax:
        return
    if o["ПолучательИНН"] != TAX_SERVICE_INN:
        yield error("ПолучательИНН", "tax-payee-inn", f'{named("ПолучательИНН")} of a payment to the tax service '
                    f"must be {TAX_SERVICE_INN}")
    if o["ПолучательСчет"] != TAX_SERVICE_ACCOUNT:
        yield error("ПолучательСчет", "tax-payee-account", f'{named("ПолучательСчет")} of a payment to the tax '
                    f"service must be the treasury account {TAX_SERVICE_ACCOUNT}")
    kpp = TAX_SERVICE_KPP if o.date is None or o.on_or_after(TAX_SERVICE_KPP_SINCE) else TAX_SERVICE_OLD_KPP
    if o["ПолучательКПП"] != kpp:
        yield warning("ПолучательКПП", "tax-payee-kpp", f'{named("ПолучательКПП")} of the tax service is {kpp} '
                      "on the order's date")


def customs_payee(o: Order) -> Iterator[Finding]:
    if not o.customs:
        return
    if o["ПолучательСчет"] != CUSTOMS_ACCOUNT:
        yield error("ПолучательСчет", "customs-payee-account", f'{named("ПолучательСчет")} of a customs payment '
                    f"must be the treasury account {CUSTOMS_ACCOUNT}")
    if o["ПолучательКПП"] != CUSTOMS_KPP:
        yield warning("ПолучательКПП", "customs-payee-kpp", f'{named("ПолучательКПП")} of customs is {CUSTOMS_KPP}')


def customs_document(o: Order) -> Iterator[Finding]:
    """Fields 108 and 109 of a customs payment, by its basis (106)."""
    basis, number, day = o["ПоказательОснования"], o["ПоказательНомера"], o["ПоказательДаты"]
    if not o.customs:
        return
    if basis == "00" and (number not in ("0", "00") or day not in ("0", "00")):
        yield error("ПоказательНомера", "customs-document", f'{named("ПоказательНомера")} and '
                    f'{named("ПоказательДаты")} are "0" with basis 00')
    elif basis in ("ПК", "УВ", "ТГ", "ТБ", "ТД", "ПВ") and len(number) > 7:
        yield error("ПоказательНомера", "customs-document", f'{named("ПоказательНомера")} has at most 7 '
                    f"characters with basis {basis}")
    elif basis in ("ИЛ", "ИН", "ПБ", "КЭ") and number in NONE:
        yield error("ПоказательНомера", "customs-document", f'{named("ПоказательНомера")} is required with '
                    f"basis {basis}")


def other_budget_payee_account(o: Order) -> Iterator[Finding]:
    if o.other_budget and not o["ПолучательСчет"].startswith(("03", "40503", "40603", "40703")):
        yield warning("ПолучательСчет", "budget-payee-account", f'{named("ПолучательСчет")} of a budget payment '
                      "is usually a treasury account (03...)")


def budget_kbk(o: Order) -> Iterator[Finding]:
    kbk = o["ПоказательКБК"]
    if (o.tax or o.customs) and kbk in NONE:
        yield error("ПоказательКБК", "kbk-required", f'{named("ПоказательКБК")} is required in a payment to the tax '
                    "service or customs")
    elif o.tax and o.status == "01" and kbk != SINGLE_TAX_KBK:
        yield warning("ПоказательКБК", "kbk-not-single-tax", f'{named("ПоказательКБК")} is not that of the single '
                      f"tax payment ({SINGLE_TAX_KBK}); only a few taxes and duties are paid apart")


def budget_oktmo(o: Order) -> Iterator[Finding]:
    oktmo, account = o["ОКАТО"], o["ПолучательСчет"]
    if o["ПоказательКБК"] == SINGLE_TAX_KBK and oktmo != "0":
        yield error("ОКАТО", "oktmo-single-tax", f'{named("ОКАТО")} of the single tax payment is "0"')
    elif o.customs and oktmo != CUSTOMS_OKTMO:
        yield error("ОКАТО", "oktmo-customs", f'{named("ОКАТО")} of a customs payment is {CUSTOMS_OKTMO}')
    elif o.other_budget and oktmo in NONE and not (account.startswith(OKTMO_FREE_ACCOUNTS) or (
            account.startswith(("40503", "40603", "40703")) and account[13:14] == "4")):
        yield error("ОКАТО", "oktmo-required", f'{named("ОКАТО")} is required in this budget payment')


def budget_basis(o: Order) -> Iterator[Finding]:
    basis = o["ПоказательОснования"]
    if o.tax and basis != "0":
        yield error("ПоказательОснования", "basis-tax", f'{named("ПоказательОснования")} of a payment to the tax '
                    f'service is "0", not {quoted(basis)}')
    elif o.customs and basis not in CUSTOMS_BASES and not (basis == "ПР" and o.on_or_after(CUSTOMS_BASIS_PR_SINCE)) \
            and not (basis == "0" and o.status == "27"):
        yield error("ПоказательОснования", "basis-customs", f'{named("ПоказательОснования")} is not a basis of a '
                    f"customs payment: {quoted(basis)}")


def budget_period(o: Order) -> Iterator[Finding]:
    period = o["ПоказательПериода"]
    if not o.budget or not period:
        return
    if o.tax and o.status in TAX_STATUSES and period != "0":
        yield error("ПоказательПериода", "period-tax", f'{named("ПоказательПериода")} of a payment to the tax '
                    f'service with status {o.status} is "0", not {quoted(period)}')
    elif o.customs and not (_digits(period, 8) if o["ПоказательКБК"].startswith("153") else period == "0"):
        yield error("ПоказательПериода", "period-customs", f'{named("ПоказательПериода")} of a customs payment is '
                    'the 8-digit code of the customs body (or "0" when the КБК is not a customs one)')
    elif not o.tax and not _PERIOD.fullmatch(period):
        yield warning("ПоказательПериода", "period-form", f'{named("ПоказательПериода")} is not a period '
                      '(МС.MM.YYYY, КВ.0N.YYYY, ПЛ.0N.YYYY, ГД.00.YYYY), a date, a customs code or "0": '
                      f"{quoted(period)}")
    elif period.startswith("МС.") and o.on_or_after(MONTHLY_PERIOD_UNTIL):
        yield warning("ПоказательПериода", "period-monthly", f'{named("ПоказательПериода")} in the form МС.MM.YYYY '
                      "is no longer taken by some banks")


def budget_document_number(o: Order) -> Iterator[Finding]:
    number = o["ПоказательНомера"]
    if not o.budget:
        return
    if (o.tax or o.status in ("31", "33")) and number not in NONE:
        yield error("ПоказательНомера", "doc-number-not-empty", f'{named("ПоказательНомера")} is "0" in this '
                    f"budget payment, not {quoted(number)}")
    elif o.status == "24" and o["ПлательщикИНН"] in NONE and o["Код"] in NONE and not (
            len(number) > 3 and number[2] == ";" and number[:2] in PERSON_DOCUMENTS):
        yield error("ПоказательНомера", "doc-number-person", f'{named("ПоказательНомера")} must identify a payer '
                    'without ИНН and УИН as "NN;number" (NN the code of an identity document)')


def budget_document_date(o: Order) -> Iterator[Finding]:
    value = o["ПоказательДаты"]
    if not o.budget or value in ("", "0", "00"):
        return
    if o.tax:
        yield error("ПоказательДаты", "doc-date-not-empty", f'{named("ПоказательДаты")} of a payment to the tax '
                    f'service is "0", not {quoted(value)}')
    elif _parse_date(value) is None:
        yield error("ПоказательДаты", "doc-date-form", f'{named("ПоказательДаты")} must be a date DD.MM.YYYY or '
                    f'"0": {quoted(value)}')


def type_indicator(o: Order) -> Iterator[Finding]:
    if o["ПоказательТипа"] not in NONE:
        yield warning("ПоказательТипа", "type-unused", f'{named("ПоказательТипа")} is no longer filled (since '
                      "28.03.2016); write it empty")


RULES: tuple[Rule, ...] = (
    number_form, date_in_window, inn_check_digits, payer_inn_present, customs_payer_inn_length, budget_payee_inn,
    kpp_of_person, budget_kpp_start, budget_payer_kpp, budget_payee_kpp, account_keys, correspondent_accounts,
    treasury_correspondent_account, payer_is_payee, payee_name_account, operation_type, purpose_code_for_person,
    voluntary_tax_priority, budget_uin, purpose_text, vat_mention, budget_status, tax_payee, customs_payee,
    customs_document, other_budget_payee_account, budget_kbk, budget_oktmo, budget_basis, budget_period,
    budget_document_number, budget_document_date, type_indicator,
)


def findings(values: Mapping[str, str], kind: str, today: date) -> Iterator[Finding]:
    """What every rule finds in one order."""
    order = Order(values, kind, today)
    for rule in RULES:
        yield from rule(order)
