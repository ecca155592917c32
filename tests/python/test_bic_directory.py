"""The БИК directory (ED807) and the checks of payment orders against it and against the rules of their dates.

The orders are made from public requisites (real companies' ИНН, real banks' БИК and correspondent accounts, the
tax service's and treasury bodies'); the settlement accounts are made up, with control keys worked out here as
the Bank of Russia's rule describes it, apart from the code under test."""

from __future__ import annotations

import dataclasses
import io
import pickle
import zipfile
from datetime import date
from decimal import Decimal
from pathlib import Path

import pytest

import quorlane
from conftest import quorlane_command

DATA = Path(__file__).resolve().parents[1] / "data"
DIRECTORY = quorlane.read_bic_directory(DATA / "ed807_cp1251.xml")
E, W = "error", "warning"


# --- check digits, worked out as the rules describe them ---


def keyed(bic: str, account: str) -> str:
    """The account with its control key (digit 9): three conditional digits ("0" and БИК digits 5-6 for a
    correspondent account, a treasury single account or an account at a Bank of Russia division; else БИК digits
    7-9) before the account with key 0; the last digits of the products by 7, 1, 3, ... added; the key is the last
    digit of 3 times that sum's last digit."""
    central = account.startswith(("30101", "40102")) or bic.endswith(("000", "001", "002"))
    digits = ("0" + bic[4:6] if central else bic[6:]) + account[:8] + "0" + account[9:]
    total = sum(int(digit) * weight % 10 for digit, weight in zip(digits, [7, 1, 3] * 8))
    return account[:8] + str(total % 10 * 3 % 10) + account[9:]


def uin(body: str) -> str:
    """The УИН with its check digit: weights 1 to 10 repeated, remainder of 11; on 10, weights from 3; on 10
    again, 0."""
    for first in (1, 3):
        remainder = sum(int(digit) * ((first - 1 + i) % 10 + 1) for i, digit in enumerate(body)) % 11
        if remainder != 10:
            return body + str(remainder)
    return body + "0"


def inn_is_whole(inn: str) -> bool:
    weights = (2, 4, 10, 3, 5, 9, 4, 6, 8)
    return len(inn) == 10 and sum(int(d) * w for d, w in zip(inn, weights)) % 11 % 10 == int(inn[9])


@pytest.mark.parametrize("made, worked", [
    (keyed("049805746", "40602810000000000025"), "40602810700000000025"),  # the rule's own worked examples
    (keyed("049805000", "30101810000000000746"), "30101810800000000746"),
    (keyed("044525225", "30101810000000000225"), "30101810400000000225"),
    (keyed("017003983", "40102810045370000059"), "40102810445370000059"),
    (uin("1820996514438068424"), "18209965144380684245"),
    (uin("1881013969371648705"), "18810139693716487056"),
])
def test_the_tests_check_digits(made, worked):
    assert made == worked


# --- the orders ---

SBER = quorlane.Bank(name="ПАО СБЕРБАНК", city="г. Москва", bic="044525225", corr_account="30101810400000000225")
SBER_TULA = quorlane.Bank(name="ТУЛЬСКОЕ ОТДЕЛЕНИЕ N8604 ПАО СБЕРБАНК", city="г. Тула", bic="047003608",
                          corr_account="30101810300000000608")
ALFA = quorlane.Bank(name='АО "АЛЬФА-БАНК"', city="г. Москва", bic="044525593", corr_account="30101810200000000593")
TBANK = quorlane.Bank(name='АО "ТБанк"', city="Москва", bic="044525974", corr_account="30101810145250000974")
QIWI = quorlane.Bank(name='АО "КИВИ БАНК"', city="г. Москва", bic="044525416", corr_account="30101810645250000416")
MOSCOW_TREASURY = quorlane.Bank(name="ГУ Банка России по ЦФО//УФК по г. Москве", city="г. Москва", bic="004525988",
                                corr_account="40102810545370000003")
CENTRAL_BANK = quorlane.Bank(name="ГУ Банка России по ЦФО", city="г. Москва", bic="044525000", corr_account="")

YANDEX = quorlane.Party(name='ООО "ЯНДЕКС"', inn="7736207543", kpp="770401001",
                        account=keyed(SBER.bic, "40702810000000012345"), bank=SBER)
MTS = quorlane.Party(name='ПАО "МТС"', inn="7740000076", kpp="770901001",
                     account=keyed(ALFA.bic, "40702810000000054321"), bank=ALFA)
PERSON = quorlane.Party(name="Иванов Иван Иванович", inn="", account=keyed(TBANK.bic, "40817810000000123456"),
                        bank=TBANK)
TRAFFIC_POLICE = quorlane.Party(name="УФК по г. Москве (ГУ МВД России по г. Москве)", inn="7707089101",
                                kpp="770731005", account="03100643000000017300", bank=MOSCOW_TREASURY)
TAX_OFFICE_2021 = quorlane.Party(name="УФК по г. Москве (ФНС России)", inn="7707329152", kpp="770701001",
                                 account="03100643000000017300", bank=MOSCOW_TREASURY)
# A federal body's account at a Bank of Russia division: no correspondent account.
AT_CENTRAL_BANK = dataclasses.replace(MTS, name="Федеральное казначейство", inn="7710568760", kpp="771001001",
                                      account=keyed(CENTRAL_BANK.bic, "40105810000000010001"), bank=CENTRAL_BANK)

DAY = date(2026, 3, 2)
COMMERCIAL = quorlane.OutgoingDocument(
    number="101", date=DAY, amount=Decimal("150000.00"), payer=YANDEX, payee=MTS,
    purpose="Оплата услуг связи по договору № 12 от 01.02.2026, в т.ч. НДС 22% 27049.18")
TAX = quorlane.single_tax_payment(number="102", date=DAY, amount=Decimal("1200000"), payer=YANDEX)
FINE = dataclasses.replace(COMMERCIAL, number="103", payee=TRAFFIC_POLICE, code=uin("1881017723000000001"),
                           purpose="Штраф по постановлению № 18810177230000000016",
                           budget=quorlane.Budget(status="08", kbk="18811601121010001140", oktmo="45383000"))
TAX_2021 = dataclasses.replace(COMMERCIAL, number="104", date=date(2021, 8, 20), payee=TAX_OFFICE_2021,
                               purpose="НДФЛ за 2 квартал 2021", code="0", budget=quorlane.Budget(
                                   status="01", kbk="18210102010011000110", oktmo="45382000", basis="ТП",
                                   period="КВ.02.2021"))


def payee_bank(document, **changes):
    """The document with changes to its payee's bank; the payee's account keyed anew under another БИК."""
    payee = document.payee
    bank = dataclasses.replace(payee.bank, **changes)
    account = payee.account if payee.account.startswith("03") else keyed(bank.bic, payee.account)
    return dataclasses.replace(document, payee=dataclasses.replace(payee, bank=bank, account=account))


def payee(document, **changes):
    return dataclasses.replace(document, payee=dataclasses.replace(document.payee, **changes))


NO_SUCH_BIC = payee_bank(COMMERCIAL, bic="044525999", corr_account=keyed("044525999", "30101810000000000999"))
ALFA_OTHER_CORR = payee_bank(COMMERCIAL, corr_account=keyed(ALFA.bic, "30101810000000001593"))
TREASURY_CORR_AT_A_BANK = payee_bank(COMMERCIAL, corr_account=keyed(ALFA.bic, "40102810045370000059"))
AT_A_DIVISION = dataclasses.replace(COMMERCIAL, payee=AT_CENTRAL_BANK, purpose="Возврат средств, без НДС")
QIWI_PAYMENT = payee_bank(COMMERCIAL, **dataclasses.asdict(QIWI))

CASES = [
    # id, the order, the directory or None, what is found (level, key, code)
    ("commercial", COMMERCIAL, None, []),
    ("commercial", COMMERCIAL, DIRECTORY, []),
    ("single tax payment", TAX, None, []),
    ("single tax payment", TAX, DIRECTORY, []),
    ("traffic fine", FINE, DIRECTORY, []),
    ("branch in Tula", payee_bank(COMMERCIAL, **dataclasses.asdict(SBER_TULA)), DIRECTORY, []),
    ("a person's account, no payee ИНН", dataclasses.replace(COMMERCIAL, payee=PERSON), None, []),
    ("a company's account, no payee ИНН", payee(COMMERCIAL, inn=""), None, [(E, "ПолучательИНН", "required")]),
    ("Bank of Russia division, no corr", AT_A_DIVISION, None, []),
    ("Bank of Russia division, no corr", AT_A_DIVISION, DIRECTORY, []),
    ("Bank of Russia division, a corr", payee_bank(AT_A_DIVISION, corr_account=keyed(
        "044525000", "30101810000000000000")), DIRECTORY, [(E, "ПолучательКорсчет", "corr-account-not-bic")]),
    ("a bank, no corr", payee_bank(COMMERCIAL, corr_account=""), None, [(E, "ПолучательКорсчет", "required")]),
    ("empty bank city", payee_bank(COMMERCIAL, city=""), None, [(W, "ПолучательБанк2", "bank-city-empty")]),
    ("another city", payee_bank(COMMERCIAL, city="г. Тула"), None, []),
    ("another city", payee_bank(COMMERCIAL, city="г. Тула"), DIRECTORY, [(W, "ПолучательБанк2", "bank-city-differs")]),
    ("another name", payee_bank(COMMERCIAL, name="ПАО Сбербанк"), DIRECTORY,
     [(W, "ПолучательБанк1", "bank-name-differs")]),
    # What only the directory knows.
    ("БИК that does not exist", NO_SUCH_BIC, None, []),
    ("БИК that does not exist", NO_SUCH_BIC, DIRECTORY, [(E, "ПолучательБИК", "bic-unknown")]),
    ("payer's БИК that does not exist", dataclasses.replace(COMMERCIAL, payer=NO_SUCH_BIC.payee, payee=YANDEX),
     DIRECTORY, [(E, "ПлательщикБИК", "bic-unknown")]),
    ("another bank's corr, key and end right", ALFA_OTHER_CORR, None, []),
    ("another bank's corr, key and end right", ALFA_OTHER_CORR, DIRECTORY,
     [(E, "ПолучательКорсчет", "corr-account-not-bic")]),
    ("licence withdrawn, order before", dataclasses.replace(QIWI_PAYMENT, date=date(2024, 2, 20)), DIRECTORY, []),
    ("licence withdrawn, order after", QIWI_PAYMENT, None, []),
    ("licence withdrawn, order after", QIWI_PAYMENT, DIRECTORY, [(E, "ПолучательБИК", "bic-inactive")]),
    ("treasury БИК before 2021", dataclasses.replace(FINE, date=date(2020, 12, 25)), DIRECTORY,
     [(E, "ПолучательБИК", "bic-inactive")]),
    # What is known without a directory.
    ("single tax payment, БИК one digit wrong", payee_bank(TAX, bic="017003984"), None,
     [(E, "ПолучательБИК", "tax-payee-bic")]),
    ("single tax payment, БИК one digit wrong", payee_bank(TAX, bic="017003984"), DIRECTORY,
     [(E, "ПолучательБИК", "bic-unknown"), (E, "ПолучательБИК", "tax-payee-bic")]),
    ("single tax payment, another treasury body", payee_bank(TAX, **dataclasses.asdict(MOSCOW_TREASURY)), None,
     [(E, "ПолучательБИК", "tax-payee-bic"), (E, "ПолучательКорсчет", "tax-payee-corr-account")]),
    ("ЕКС beside a bank's БИК", TREASURY_CORR_AT_A_BANK, None, [(E, "ПолучательКорсчет", "treasury-bic")]),
    ("ЕКС beside a bank's БИК", TREASURY_CORR_AT_A_BANK, DIRECTORY,
     [(E, "ПолучательКорсчет", "corr-account-not-bic")]),
    ("treasury account, currency digits wrong", payee(FINE, account="03100644000000017300"), None,
     [(E, "ПолучательСчет", "treasury-account-form")]),
    # A treasury account has no key and the directory does not list it: its other typos cannot be told from
    # another treasury account.
    ("treasury account, last digit wrong", payee(FINE, account="03100643000000017301"), DIRECTORY, []),
    # Rules held by the order's date: in 2021 each region's tax office had its own payee, and basis ТП was taken.
    ("tax payment of 2021", TAX_2021, None, []),
    ("tax payment of 2021", TAX_2021, DIRECTORY, []),
    ("the same in 2023", dataclasses.replace(TAX_2021, date=date(2023, 8, 21)), None, [
        (E, "ПолучательИНН", "tax-payee-inn"), (E, "ПолучательСчет", "tax-payee-account"),
        (E, "ПолучательБИК", "tax-payee-bic"), (E, "ПолучательКорсчет", "tax-payee-corr-account"),
        (W, "ПолучательКПП", "tax-payee-kpp"), (W, "ПоказательКБК", "kbk-not-single-tax"),
        (E, "ПоказательОснования", "basis-tax"), (E, "ПоказательПериода", "period-tax")]),
    ("single tax payment before the tax service's КПП changed", quorlane.single_tax_payment(
        number="105", date=date(2025, 12, 4), amount=Decimal("1000"), payer=YANDEX), DIRECTORY, []),
]


@pytest.mark.parametrize("document, directory, expected", [case[1:] for case in CASES],
                         ids=[f"{case[0]}, {'with' if case[2] else 'no'} directory" for case in CASES])
def test_orders_against_their_date_and_the_directory(document, directory, expected):
    problems = quorlane.validate_outgoing([document], today=document.date, directory=directory)
    assert [(p.level, p.key, p.code) for p in problems] == expected


def test_the_orders_requisites_are_whole():
    for party in (YANDEX, MTS, TRAFFIC_POLICE, TAX_OFFICE_2021, AT_CENTRAL_BANK, quorlane.TAX_SERVICE):
        assert inn_is_whole(party.inn), party
    for bank in (SBER, SBER_TULA, ALFA, TBANK, QIWI, MOSCOW_TREASURY, quorlane.TAX_SERVICE.bank):
        assert keyed(bank.bic, bank.corr_account) == bank.corr_account, bank


def test_messages_say_what_the_directory_gives():
    def messages(document):
        return [str(p) for p in quorlane.validate_outgoing([document], today=document.date, directory=DIRECTORY)]

    assert messages(payee_bank(COMMERCIAL, city="", corr_account="")) == [
        'document 1: "ПолучательКорсчет" (field 15) is required and empty: the БИК directory gives '
        "30101810200000000593 for БИК 044525593",
        'document 1: "ПолучательБанк2" (field 13) is empty: banks take the place from the БИК, but the form has it; '
        'the БИК directory gives "г Москва"']
    assert messages(QIWI_PAYMENT) == [
        'document 1: "ПолучательБИК" (field 14) 044525416 is not active on 02.03.2026 in the БИК directory (from '
        "24.03.1993 to 21.02.2024)"]
    assert messages(ALFA_OTHER_CORR) == [
        f'document 1: "ПолучательКорсчет" (field 15) "{ALFA_OTHER_CORR.payee.bank.corr_account}" is not an account '
        "of БИК 044525593 on 02.03.2026 in the БИК directory: it gives 30101810200000000593"]


# --- reading the directory ---


def test_both_encodings_and_the_zip_read_alike():
    utf8 = quorlane.read_bic_directory(str(DATA / "ed807_utf8.xml"))
    archive = io.BytesIO()
    with zipfile.ZipFile(archive, "w") as writing:
        writing.writestr("20260302_ED807_full.xml", (DATA / "ed807_cp1251.xml").read_bytes())
    zipped = quorlane.read_bic_directory(archive.getvalue())
    assert dict(utf8) == dict(DIRECTORY) == dict(zipped) and len(DIRECTORY) == 9
    assert utf8.day == DIRECTORY.day == date(2026, 3, 2)
    tula = DIRECTORY["017003983"]
    assert (tula.name, tula.city, tula.type, tula.opened, tula.closed) == (
        "ОКЦ № 7 ГУ Банка России по ЦФО//УФК по Тульской области", "г Тула", "52", date(2021, 1, 1), None)
    assert DIRECTORY["044525593"].bank(DAY) == quorlane.Bank(name='АО "АЛЬФА-БАНК"', city="г Москва",
                                                             bic="044525593", corr_account="30101810200000000593")
    assert DIRECTORY["044525000"].bank(DAY).corr_account == ""
    assert DIRECTORY["044525416"].bank(date(2024, 2, 20)).corr_account == QIWI.corr_account
    assert DIRECTORY["044525416"].bank(DAY).corr_account == ""


def test_fill_completes_what_is_empty_and_keeps_the_rest():
    bare = dataclasses.replace(COMMERCIAL, payer=dataclasses.replace(YANDEX, bank=quorlane.Bank(
        name="", city="", bic=SBER.bic, corr_account="")), payee=payee_bank(NO_SUCH_BIC, city="").payee)
    filled = DIRECTORY.fill(bare)
    assert filled.payer.bank == quorlane.Bank(name="ПАО Сбербанк", city="г Москва", bic=SBER.bic,
                                              corr_account=SBER.corr_account)
    assert filled.payee == bare.payee  # a БИК the directory lacks: left for the checks to report
    assert DIRECTORY.fill(COMMERCIAL) is COMMERCIAL
    assert [(p.key, p.code) for p in quorlane.validate_outgoing([filled], today=DAY, directory=DIRECTORY)] == [
        ("ПолучательБИК", "bic-unknown"), ("ПолучательБанк2", "bank-city-empty")]
    with pytest.raises(quorlane.WriteError, match="044525999 is not in the БИК directory"):
        quorlane.dumps_outgoing([filled], sender="ERP", directory=DIRECTORY)


HEAD = '<?xml version="1.0" encoding="UTF-8"?>\n'
ED807 = '<ED807 xmlns="urn:cbr-ru:ed:v2.0" EDDate="2026-03-02"{}>\n{}</ED807>\n'
ENTRY = '<BICDirectoryEntry BIC="{}"><ParticipantInfo NameP="Банк" DateIn="{}"/></BICDirectoryEntry>\n'


@pytest.mark.parametrize("text, message", [
    ("БИК;Название\n", "line 1, column 4: not well-formed XML: not well-formed (invalid token)"),
    (HEAD + ED807.format("", ENTRY.format("044525225", "2002-12-06"))[:-9],
     "line 4, column 1: not well-formed XML: no element found"),
    (HEAD + "<ED807/>", "no ED807 element of urn:cbr-ru:ed:v2.0: not a БИК directory"),
    (HEAD + ED807.format(' InfoTypeCode="SIRR"', ""), "line 2, column 1: InfoTypeCode 'SIRR': the file holds "
                                                         "changes, not the whole directory (FIRR)"),
    (HEAD + ED807.format("", ENTRY.format("04452522", "2002-12-06")),
     "line 3, column 1: BICDirectoryEntry's BIC must be 9 digits, not '04452522'"),
    (HEAD + ED807.format("", ENTRY.format("044525225", "2002-12-06") * 2),
     "line 4, column 1: БИК 044525225 has a second entry (the first at line 3)"),
    (HEAD + ED807.format("", ENTRY.format("044525225", "06.12.2002")),
     "line 3, column 36: DateIn must be a date YYYY-MM-DD, not '06.12.2002'"),
    (HEAD + ED807.format("", '<BICDirectoryEntry BIC="044525225"/>\n'),
     "line 3, column 1: the entry of БИК 044525225 has no ParticipantInfo"),
    (HEAD + '<!DOCTYPE ED807 [<!ENTITY a "aaaaaaaaaa"><!ENTITY b "&a;&a;&a;&a;&a;&a;&a;&a;">]>\n'
     + ED807.format("", ""), "line 2, column 17: a БИК directory has no document type declaration"),
    (b"PK\x03\x04 cut short", "not a readable zip archive: File is not a zip file"),
])
def test_what_is_not_a_directory_is_refused_with_its_place(text, message):
    with pytest.raises(quorlane.DirectoryError) as caught:
        quorlane.read_bic_directory(text if isinstance(text, bytes) else text.encode("utf-8"))
    assert str(caught.value) == message
    again = pickle.loads(pickle.dumps(caught.value))
    assert (str(again), again.line, again.column) == (message, caught.value.line, caught.value.column)


# --- quorlane check-orders --bic-directory ---


def test_check_orders_takes_the_directory(tmp_path):
    orders = tmp_path / "1c_to_kl.txt"
    orders.write_bytes(quorlane.dumps_outgoing([COMMERCIAL, NO_SUCH_BIC], sender="ERP"))
    line = orders.read_bytes().decode("cp1251").split("\r\n").index("ПолучательБИК=044525999") + 1
    args = ["check-orders", orders, "--today", "2026-03-02"]
    assert quorlane_command(*args, encoding="utf-8").stdout == ""
    result = quorlane_command(*args, "--bic-directory", DATA / "ed807_utf8.xml", encoding="utf-8")
    assert (result.returncode, result.stderr) == (1, "")
    assert result.stdout == f'{orders}:{line}: error: "ПолучательБИК" (field 14) 044525999 is not in the БИК directory\n'
    broken = tmp_path / "ed807.xml"
    broken.write_bytes(HEAD.encode() + b"<ED807 xmlns='urn:cbr-ru:ed:v2.0'><BICDirectoryEntry/></ED807>")
    result = quorlane_command(*args, "--bic-directory", broken, encoding="utf-8")
    assert (result.returncode, result.stdout) == (1, "")
    assert result.stderr == f"{broken}:2: BICDirectoryEntry's BIC must be 9 digits, not ''\n"
