"""The rules a bank applies to a payment order beyond the format: check digits, control keys, the budget
fields, and the customs of the trade. One function per rule; each takes the order's values by key and yields
(level, key, code, message) for what it finds. The forms of single values (digits, lengths) are checked with
the format, in payment_order_checks; rules that began on a date are taken from payment_order_dates by the order's
date; given the БИК directory, the banks are checked against it."""

from __future__ import annotations

import re
from collections.abc import Iterator, Mapping
from datetime import date, datetime
from itertools import cycle
from typing import TYPE_CHECKING, Any, Callable, Optional, Tuple

from . import payment_order_dates as dated
from ._keys import FORM_FIELD
from ._text import quoted
from .budget_payments import (CUSTOMS_ACCOUNT, CUSTOMS_KPP, CUSTOMS_OKTMO, SINGLE_TAX_KBK, TAX_SERVICE_ACCOUNT,
                              TAX_SERVICE_BIC, TAX_SERVICE_CORR_ACCOUNT, TAX_SERVICE_INN)
from .payment_order_fields import dotted

if TYPE_CHECKING:
    from .bic_directory import BicDirectory, Participant

Finding = Tuple[str, str, str, str]  # level, key, code, message
PARTIES = ("Плательщик", "Получатель")
BUDGET_INDICATORS = ("ПоказательКБК", "ОКАТО", "ПоказательОснования", "ПоказательПериода", "ПоказательНомера",
                     "ПоказательДаты", "ПоказательТипа")
NONE = ("", "0")  # how an order says "no value"

# Statuses of field 101 for the tax service and for customs (which statuses banks take, and since when, is in
# payment_order_dates).
TAX_STATUSES: frozenset[str] = dated.latest(dated.TAX_STATUSES)
CUSTOMS_STATUSES = frozenset({"06", "16", "17", "28", "30", "34"})
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
# The last digits of a Bank of Russia division's БИК: a payee whose account is held there has no correspondent
# account.
CENTRAL_BANK_DIVISIONS = ("000", "001", "002")
TREASURY_BIC_STARTS = ("00", "01", "02")  # the БИКs of treasury bodies, since 2021
RUBLES = "643"  # the currency code at digits 6-8 of a treasury account
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
    """One order's values by key (a missing key reads as ""), its date and kind, which payee it pays, and the
    БИК directory, if any. `day` is the order's date (today's when it has none that can be read): the rules in
    force and the directory's entries are taken on it."""

    def __init__(self, values: Mapping[str, str], kind: str, today: date,
                 directory: Optional[BicDirectory] = None) -> None:
        self.values, self.kind, self.today, self.directory = values, kind, today, directory
        self.date = _parse_date(self["Дата"])
        self.day = today if self.date is None else self.date
        self.status = self["СтатусСоставителя"]
        self.budget = self.status not in NONE
        kbk, account = self["ПоказательКБК"], self["ПолучательСчет"]
        self.tax = self.budget and (account == TAX_SERVICE_ACCOUNT or kbk.startswith("182")
                                    or self["ПолучательИНН"] == TAX_SERVICE_INN)
        # A tax payment since the single tax payment began: one payee, fields 106-109 "0".
        self.single_tax = self.tax and bool(self.rule(dated.SINGLE_TAX_PAYMENT))
        self.customs = self.budget and not self.tax and (account == CUSTOMS_ACCOUNT or kbk.startswith("153"))
        self.other_budget = self.budget and not self.tax and not self.customs

    def __getitem__(self, key: str) -> str:
        return self.values.get(key) or ""

    def rule(self, name: str) -> Any:
        """The value of a dated rule on the order's day (None before the rule began)."""
        return dated.in_force(name, self.day)

    def participant(self, party: str) -> Optional[Participant]:
        """The directory's entry of the party's БИК; None without a directory or when it has none."""
        return None if self.directory is None else self.directory.get(self[party + "БИК"])


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


def payee_inn_present(o: Order) -> Iterator[Finding]:
    # A natural person's ИНН is optional outside budget payments; a person is paid to a person's account.
    person = not o.budget and o["ПолучательСчет"].startswith(PERSONS_ACCOUNTS)
    if not o["ПолучательИНН"] and not person:
        yield error("ПолучательИНН", "required", f'{named("ПолучательИНН")} is required and empty')


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


def treasury_account_form(o: Order) -> Iterator[Finding]:
    """A treasury account (03...) carries no control key, and the БИК directory lists only its treasury body's
    single account, not the treasury accounts held there: what can be checked is its form, with the ruble's
    code at digits 6-8 (and, for the tax service and customs, the exact number)."""
    for party in PARTIES:
        account = o[party + "Счет"]
        if _digits(account, 20) and account.startswith("03") and account[5:8] != RUBLES:
            yield error(party + "Счет", "treasury-account-form", f"{named(party + 'Счет')} is a treasury account "
                        f"(03...) whose digits 6-8 must be the ruble's code {RUBLES}: {quoted(account)}")


def correspondent_account_present(o: Order) -> Iterator[Finding]:
    """A bank's correspondent account is required, but not of a Bank of Russia division (an account held there
    has none, and the form leaves the field empty); given the directory, it is required where the directory
    gives one."""
    for party in PARTIES:
        key, bic = party + "Корсчет", o[party + "БИК"]
        if o[key]:
            continue
        participant = o.participant(party)
        if participant is not None:
            expected = participant.corr_account(o.day)
            if expected:
                yield error(key, "required", f"{named(key)} is required and empty: the БИК directory gives "
                            f"{expected} for БИК {bic}")
        elif not (_digits(bic, 9) and bic[6:] in CENTRAL_BANK_DIVISIONS):
            yield error(key, "required", f"{named(key)} is required and empty")


def correspondent_accounts(o: Order) -> Iterator[Finding]:
    """The form of a correspondent account under its БИК, where the directory does not say which it is."""
    for party in PARTIES:
        key, bic = party + "Корсчет", o[party + "БИК"]
        corr = o[key]
        known = o.participant(party)
        if not (_digits(corr, 20) and _digits(bic, 9)) or (known is not None and known.active_on(o.day)):
            continue
        if not corr.startswith(("30101", "40102")):
            yield error(key, "corr-account-form", f"{named(key)} must start with 30101 (a bank's correspondent "
                        f"account) or 40102 (the treasury's single account): {quoted(corr)}")
        elif corr.startswith("30101") and corr[17:] != bic[6:]:
            yield error(key, "corr-account-bic", f"{named(key)} must end with the last 3 digits of БИК {bic}: "
                        f"{quoted(corr)}")
        elif corr.startswith("40102") and bic[:2] not in TREASURY_BIC_STARTS:
            yield error(key, "treasury-bic", f"{named(key)} is a treasury body's single account (40102...), but БИК "
                        f"{bic} is not a treasury body's (those start with 00, 01 or 02)")
        elif not account_key_is_valid(corr, bic):
            yield error(key, "account-key", f"{named(key)} does not match its control key under БИК {bic}: "
                        f"{quoted(corr)}")


# --- the banks against the БИК directory ---


def banks_in_directory(o: Order) -> Iterator[Finding]:
    """Each party's БИК exists and works on the order's date, and its correspondent account is one of that
    БИК's accounts on that date."""
    if o.directory is None:
        return
    for party in PARTIES:
        key, bic = party + "БИК", o[party + "БИК"]
        participant = o.participant(party)
        if not _digits(bic, 9):
            continue
        if participant is None:
            yield error(key, "bic-unknown", f"{named(key)} {bic} is not in the БИК directory")
        elif not participant.active_on(o.day):
            yield error(key, "bic-inactive", f"{named(key)} {bic} is not active on {dotted(o.day)} in the БИК "
                        f"directory ({_lifetime(participant, o.day)})")
        elif o[party + "Корсчет"]:
            corr_key, corr = party + "Корсчет", o[party + "Корсчет"]
            if corr not in {account.number for account in participant.accounts_on(o.day)}:
                expected = participant.corr_account(o.day)
                gives = f"it gives {expected}" if expected else "it gives none, as for a Bank of Russia division"
                yield error(corr_key, "corr-account-not-bic", f"{named(corr_key)} {quoted(corr)} is not an account "
                            f"of БИК {bic} on {dotted(o.day)} in the БИК directory: {gives}")


def _lifetime(participant: Participant, day: date) -> str:
    """Why a participant is not active on the day: its dates, or its removal from the directory."""
    opened, closed = participant.opened, participant.closed
    if closed is None and (opened is None or opened <= day):
        return "removed"
    return " ".join(([f"from {dotted(opened)}"] if opened else []) + ([f"to {dotted(closed)}"] if closed else []))


def _comparable(text: str) -> str:
    """A name or place as banks' systems compare them: letters and digits in one case, ё as е, one blank apart."""
    return " ".join(re.sub(r"[^\w№/]+", " ", text.casefold().replace("ё", "е")).split())


def bank_names(o: Order) -> Iterator[Finding]:
    """The bank's name and city as the directory has them: a difference is a warning, since banks go by the
    БИК; an empty city is one too."""
    for party in PARTIES:
        known = o.participant(party)
        if known is not None and not known.active_on(o.day):
            known = None
        name_key, city_key = party + "Банк1", party + "Банк2"
        name, city = _comparable(o[name_key]), _comparable(o[city_key])
        if known is not None and name and not _contains(name, _comparable(known.name)):
            yield warning(name_key, "bank-name-differs", f"{named(name_key)} is not the name of БИК {known.bic} in "
                          f"the БИК directory, {quoted(known.name)}")
        if not city:
            gives = "" if known is None else f"; the БИК directory gives {quoted(known.city)}"
            yield warning(city_key, "bank-city-empty", f"{named(city_key)} is empty: banks take the place from the "
                          f"БИК, but the form has it{gives}")
        elif known is not None and known.place and not _contains(city, _comparable(known.place)):
            yield warning(city_key, "bank-city-differs", f"{named(city_key)} is not the place of БИК {known.bic} in "
                          f"the БИК directory, {quoted(known.city)}")


def _contains(text: str, part: str) -> bool:
    """Whether one comparable text holds the other as whole words ("пао сбербанк" in "пао сбербанк г москва")."""
    return f" {part} " in f" {text} " or f" {text} " in f" {part} "


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
    elif o.status not in o.rule(dated.STATUSES):
        yield error("СтатусСоставителя", "status-unknown", f'{named("СтатусСоставителя")} is not a status banks '
                    f"take on {dotted(o.day)}: {quoted(o.status)}")
    elif o.tax and o.status not in (o.rule(dated.TAX_STATUSES) or {o.status}):
        yield error("СтатусСоставителя", "status-tax", f'{named("СтатусСоставителя")} of a payment to the tax '
                    f"service must be {' or '.join(sorted(o.rule(dated.TAX_STATUSES)))}, not {quoted(o.status)}")
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
    """Since the single tax payment, every payment to the tax service goes to one payee, at one bank."""
    if not o.single_tax:
        return
    if o["ПолучательИНН"] != TAX_SERVICE_INN:
        yield error("ПолучательИНН", "tax-payee-inn", f'{named("ПолучательИНН")} of a payment to the tax service '
                    f"must be {TAX_SERVICE_INN}")
    if o["ПолучательСчет"] != TAX_SERVICE_ACCOUNT:
        yield error("ПолучательСчет", "tax-payee-account", f'{named("ПолучательСчет")} of a payment to the tax '
                    f"service must be the treasury account {TAX_SERVICE_ACCOUNT}")
    if o["ПолучательБИК"] != TAX_SERVICE_BIC:
        yield error("ПолучательБИК", "tax-payee-bic", f'{named("ПолучательБИК")} of a payment to the tax service '
                    f"must be {TAX_SERVICE_BIC}, the treasury body that holds its account")
    if o["ПолучательКорсчет"] != TAX_SERVICE_CORR_ACCOUNT:
        yield error("ПолучательКорсчет", "tax-payee-corr-account", f'{named("ПолучательКорсчет")} of a payment to '
                    f"the tax service must be {TAX_SERVICE_CORR_ACCOUNT}, the single treasury account of БИК "
                    f"{TAX_SERVICE_BIC}")
    kpp = o.rule(dated.TAX_SERVICE_KPP)
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
    elif o.single_tax and o.status == "01" and kbk != SINGLE_TAX_KBK:
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
    if o.single_tax and basis != "0":
        yield error("ПоказательОснования", "basis-tax", f'{named("ПоказательОснования")} of a payment to the tax '
                    f'service is "0", not {quoted(basis)}')
    elif o.customs and basis not in o.rule(dated.CUSTOMS_BASES) and not (basis == "0" and o.status == "27"):
        yield error("ПоказательОснования", "basis-customs", f'{named("ПоказательОснования")} is not a basis of a '
                    f"customs payment: {quoted(basis)}")


def budget_period(o: Order) -> Iterator[Finding]:
    period = o["ПоказательПериода"]
    if not o.budget or not period:
        return
    if o.single_tax and o.status in TAX_STATUSES and period != "0":
        yield error("ПоказательПериода", "period-tax", f'{named("ПоказательПериода")} of a payment to the tax '
                    f'service with status {o.status} is "0", not {quoted(period)}')
    elif o.customs and not (_digits(period, 8) if o["ПоказательКБК"].startswith("153") else period == "0"):
        yield error("ПоказательПериода", "period-customs", f'{named("ПоказательПериода")} of a customs payment is '
                    'the 8-digit code of the customs body (or "0" when the КБК is not a customs one)')
    elif not o.single_tax and not _PERIOD.fullmatch(period):
        yield warning("ПоказательПериода", "period-form", f'{named("ПоказательПериода")} is not a period '
                      '(МС.MM.YYYY, КВ.0N.YYYY, ПЛ.0N.YYYY, ГД.00.YYYY), a date, a customs code or "0": '
                      f"{quoted(period)}")
    elif period.startswith("МС.") and o.rule(dated.MONTHLY_PERIOD_REFUSED):
        yield warning("ПоказательПериода", "period-monthly", f'{named("ПоказательПериода")} in the form МС.MM.YYYY '
                      "is no longer taken by some banks")


def budget_document_number(o: Order) -> Iterator[Finding]:
    number = o["ПоказательНомера"]
    if not o.budget:
        return
    if (o.single_tax or o.status in ("31", "33")) and number not in NONE:
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
    if o.single_tax:
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
    number_form, date_in_window, inn_check_digits, payer_inn_present, payee_inn_present, customs_payer_inn_length,
    budget_payee_inn, kpp_of_person, budget_kpp_start, budget_payer_kpp, budget_payee_kpp, account_keys,
    treasury_account_form, banks_in_directory, correspondent_account_present, correspondent_accounts,
    treasury_correspondent_account, bank_names, payer_is_payee, payee_name_account, operation_type,
    purpose_code_for_person, voluntary_tax_priority, budget_uin, purpose_text, vat_mention, budget_status,
    tax_payee, customs_payee, customs_document, other_budget_payee_account, budget_kbk, budget_oktmo, budget_basis,
    budget_period, budget_document_number, budget_document_date, type_indicator,
)


def findings(values: Mapping[str, str], kind: str, today: date,
             directory: Optional[BicDirectory] = None) -> Iterator[Finding]:
    """What every rule finds in one order."""
    order = Order(values, kind, today, directory)
    for rule in RULES:
        yield from rule(order)
