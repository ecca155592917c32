"""Payment orders for the bank: every problem is reported at once with a fixed message, and a valid file
reads back."""

from __future__ import annotations

import dataclasses
import os
import subprocess
from datetime import date, datetime
from decimal import Decimal
from pathlib import Path

import pytest

import quorlane
import quorlane_py
from conftest import quorlane_command

TODAY = date(2026, 3, 4)
SBER = quorlane.Bank(name="ПАО СБЕРБАНК", city="г. Москва", bic="044525225", corr_account="30101810400000000225")
ALFA = quorlane.Bank(name='АО "АЛЬФА-БАНК"', city="г. Москва", bic="044525593", corr_account="30101810200000000593")
PAYER = quorlane.Party(name='ООО "Ромашка"', inn="7701234560", kpp="770101001", account="40702810200000012345",
                       bank=SBER, label='ИНН 7701234560 ООО "Ромашка"')
PAYEE = quorlane.Party(name='ООО "Лютик"', inn="7709876545", kpp="770901001", account="40702810400000054321",
                       bank=ALFA)
ORDER = quorlane.OutgoingDocument(number="16", date=date(2026, 3, 2), amount=Decimal("6603.75"), payer=PAYER,
                                  payee=PAYEE, purpose="Оплата по счёту № 17 от 01.03.2026, НДС не облагается")
TAX = quorlane.single_tax_payment(number="16", date=date(2026, 3, 2), amount=Decimal("6603.75"), payer=PAYER)


def order(**changes) -> quorlane.OutgoingDocument:
    """ORDER with changes; "payer"/"payee" changes are dicts of Party fields, "payee_bank" of Bank fields."""
    for party in ("payer", "payee"):
        if isinstance(changes.get(party), dict):
            changes[party] = dataclasses.replace(getattr(ORDER, party), **changes[party])
    if "payee_bank" in changes:
        changes["payee"] = dataclasses.replace(PAYEE, bank=dataclasses.replace(ALFA, **changes.pop("payee_bank")))
    return dataclasses.replace(ORDER, **changes)


def messages(documents, **options) -> list[str]:
    return [str(problem) for problem in quorlane.validate_outgoing(documents, today=TODAY, **options)]


@pytest.mark.parametrize("document, expected", [
    (order(amount=Decimal("10.005")), ['document 1: "Сумма" (field 7) has more than 2 fractional digits: "10.005"']),
    (order(amount="1 000,00"), ['document 1: "Сумма" (field 7) is not an amount in plain form (digits, optionally a '
                                'point and more digits): "1 000,00"']),
    (order(amount=0), ['document 1: "Сумма" (field 7) must be more than zero: "0"']),
    (order(amount=Decimal("-5")), ['document 1: "Сумма" (field 7) must be more than zero: "-5"']),
    (order(amount=Decimal("NaN")), ['document 1: "Сумма" (field 7) is not a finite amount: "NaN"']),
    (order(amount=10 ** 16),
     ['document 1: "Сумма" (field 7) has more than 16 digits before the point: "10000000000000000"']),
    (order(payer={"inn": "770123"}),
     ['document 1: "ПлательщикИНН" (field 60) must be 10 or 12 digits (5 for a КИО), or "0", not "770123"']),
    (order(payer={"kpp": "7701О1001"}), ['document 1: "ПлательщикКПП" (field 102) must be 9 characters (4 digits, 2 '
                                         'digits or capital Latin letters, 3 digits), or "0", not "7701О1001"']),
    (order(payee={"account": "4070281050000005432"}),
     ['document 1: "ПолучательСчет" (field 17) must be 20 digits, not "4070281050000005432"',
      'document 1: "ПолучательРасчСчет" (field 17) must be 20 digits, not "4070281050000005432"']),
    (order(payee_bank={"bic": "04452559"}),
     ['document 1: "ПолучательБИК" (field 14) must be 9 digits, not "04452559"']),
    (order(priority="7"), ['document 1: "Очередность" (field 21) must be one digit from 1 to 5, not "7"']),
    (order(purpose=""), ['document 1: "НазначениеПлатежа" (field 24) is required and empty']),
    (order(purpose="x" * 211), ['document 1: "НазначениеПлатежа" (field 24) is longer than 210 characters (211)']),
    (order(purpose="За\nтовар"), ['document 1: value of "НазначениеПлатежа" contains a line break at position 2; '
                                  'the format has no escaping']),
    (order(purpose="Оплата 5 ₽"), ['document 1: "₽" (U+20BD) at position 9 in value of "НазначениеПлатежа" cannot '
                                   'be encoded in cp1251']),
    (order(number="", payer={"name": "A\u2028B"}),
     ['document 1: "Номер" (field 3) is required and empty',
      'document 1: value of "Плательщик1" contains "\\u{2028}" (U+2028) at position 1, a line break to other '
      'readers']),
    (order(extra={"Номер": "1", "A=B": "x", "СрокПлатежа": "05.03.2026"}),
     ['document 1: key "Номер" of extra is written from a field already',
      'document 1: key "A=B" contains "=" at position 1; a key ends at the first "="']),
    (dataclasses.replace(TAX, payee=dataclasses.replace(quorlane.TAX_SERVICE, kpp=""),
                         budget=dataclasses.replace(TAX.budget, oktmo="123", basis="")),
     ['document 1: "ПолучательКПП" (field 103) is required and empty',
      'document 1: "ПоказательОснования" (field 106) is required and empty',
      'document 1: "ОКАТО" (field 105) must be 8 or 11 digits, not all zeros, or "0", not "123"']),
])
def test_every_problem_is_reported(document, expected):
    assert messages([ORDER, document]) == [m.replace("document 1", "document 2") for m in expected]
    with pytest.raises(quorlane.WriteError) as caught:
        quorlane.dumps_outgoing([document], sender="ERP")
    assert str(caught.value) == expected[0]


@pytest.mark.parametrize("make, message", [
    (lambda: order(amount=6603.75), "OutgoingDocument.amount must be Decimal, int or str, not float"),
    (lambda: order(amount=True), "OutgoingDocument.amount must be Decimal or int or str, not bool"),
    (lambda: order(date="07.03.2024"), "OutgoingDocument.date must be date, not str"),
    (lambda: quorlane.Bank("ПАО", "г. Москва", "044525225", "30101810400000000225"), "positional"),
])
def test_types_are_checked_when_made(make, message):
    with pytest.raises(TypeError, match=message):
        make()


def test_a_valid_file_reads_back():
    documents = [ORDER, TAX, order(number="17", kind=quorlane.Kind.PAYMENT_REQUEST, amount="840", date=date(2026, 3, 4),
                                   payer={"account": "40702810200000099999"})]
    assert messages(documents) == []
    data = quorlane.dumps_outgoing(documents, sender="ERP 2.1", created=datetime(2026, 3, 4, 10, 15, 0))
    assert b"\n" not in data.replace(b"\r\n", b"")
    read = quorlane_py.parse(data)
    assert (read.encoding, read.warnings, read.accounts) == ("cp1251", [], {})
    assert list(read.header.items()) == [
        ("ВерсияФормата", "1.03"), ("Кодировка", "Windows"), ("Отправитель", "ERP 2.1"), ("Получатель", ""),
        ("ДатаСоздания", "04.03.2026"), ("ВремяСоздания", "10:15:00"), ("ДатаНачала", "02.03.2026"),
        ("ДатаКонца", "04.03.2026"), ("РасчСчет", "40702810200000099999"),  # the last one, repeated key
        ("Документ", "Платежное требование")]
    assert [(d.doc_number, d.doc_type, d.doc_date, d.amount, d.counterparty, d.counterparty_1, d.counterparty_kpp)
            for d in read.documents] == [
        ("16", "Платежное поручение", "2026-03-02", "6603.75", 'ИНН 7701234560 ООО "Ромашка"', 'ООО "Ромашка"',
         "770101001")] * 2 + [
        ("17", "Платежное требование", "2026-03-04", "840.00", 'ИНН 7701234560 ООО "Ромашка"', 'ООО "Ромашка"',
         "770101001")]
    lines = data.decode("cp1251").split("\r\n")
    assert lines.count("РасчСчет=40702810200000012345") == 1 and lines.count("Документ=Платежное поручение") == 1
    tax = lines[lines.index("Номер=16", lines.index("Номер=16") + 1):]
    assert tax[tax.index("Код=0"):tax.index("КонецДокумента")] == [
        "Код=0", "НазначениеПлатежа=Единый налоговый платеж", "СтатусСоставителя=01", "ПлательщикКПП=770101001",
        "ПолучательКПП=770701001", "ПоказательКБК=18201061201010000510", "ОКАТО=0", "ПоказательОснования=0",
        "ПоказательПериода=0", "ПоказательНомера=0", "ПоказательДаты=0", "Очередность=5"]
    assert [p for p in tax if p.startswith("Получатель")][:4] == [
        "ПолучательСчет=03100643000000018500", "Получатель=Казначейство России (ФНС России)",
        "ПолучательИНН=7727406020", "Получатель1=Казначейство России (ФНС России)"]


def test_a_multi_line_purpose_is_split_only_when_asked():
    document = order(purpose="Оплата по счёту № 17\nНДС не облагается")
    assert len(messages([document])) == 1
    assert messages([document], purpose_lines="split") == []
    lines = quorlane.dumps_outgoing([document], sender="ERP", purpose_lines="split").decode("cp1251").split("\r\n")
    start = lines.index("НазначениеПлатежа=Оплата по счёту № 17 НДС не облагается")
    assert lines[start + 1:start + 3] == ["НазначениеПлатежа1=Оплата по счёту № 17",
                                          "НазначениеПлатежа2=НДС не облагается"]
    assert messages([order(purpose="\n".join("abcdefg"))], purpose_lines="split") == [
        "document 1: the purpose has 7 lines; at most 6 can be written in НазначениеПлатежа1…6"]


def test_a_file_needs_a_sender_and_documents():
    with pytest.raises(quorlane.WriteError, match='^header: "Отправитель" is required and empty$'):
        quorlane.dumps_outgoing([ORDER], sender="")
    assert messages([]) == ["statement: a file for the bank needs at least one document"]


# --- the bank's rules: (value, expected problems) per rule, with the worked examples of the rules' sources ---

TOFK = quorlane.Bank(name="ГУ Банка России по ЦФО//УФК по г. Москве", city="г. Москва", bic="004525988",
                     corr_account="40102810545370000003")
POLICE_FINE = dataclasses.replace(ORDER, purpose="Штраф по постановлению № 18810177230000000016", code="0",
                                  payee=quorlane.Party(name="УФК по г. Москве (ГУ МВД России по г. Москве)",
                                                       inn="7707089101", kpp="770731005",
                                                       account="03100643000000017300", bank=TOFK),
                                  budget=quorlane.Budget(status="08", kbk="18811601121010001140", oktmo="45383000"))
CUSTOMS = dataclasses.replace(POLICE_FINE, purpose="Таможенные платежи", payee=dataclasses.replace(
    POLICE_FINE.payee, account="03100643000000019502", inn="7730176610", kpp="773001001"),
    budget=quorlane.Budget(status="06", kbk="15311009000010000180", oktmo="45328000", basis="ПК", period="10702020"))


def problems_of(document) -> list[tuple[str, str, str]]:
    return [(p.level, p.key, p.code) for p in quorlane.validate_outgoing([document], today=TODAY)]


def budget(document, **changes):
    return dataclasses.replace(document, budget=dataclasses.replace(document.budget, **changes))


@pytest.mark.parametrize("document", [ORDER, TAX, POLICE_FINE, CUSTOMS])
def test_well_made_orders_have_no_problem(document):
    assert problems_of(document) == []


E, W = "error", "warning"


@pytest.mark.parametrize("inn, kpp, expected", [
    ("7707083893", "770701001", []),
    ("7707083894", "770701001", [(E, "ПлательщикИНН", "inn-check-digit")]),
    ("7727406020", "770701001", []),
    ("500100732259", "", []),
    ("500100732250", "", [(E, "ПлательщикИНН", "inn-check-digit")]),
    ("773605950159", "", []),
    ("773605950158", "", [(E, "ПлательщикИНН", "inn-check-digit")]),
    ("6671093163", "667101001", []),  # real statements
    ("667220109459", "", []),
    ("0000000002", "770701001", [(E, "ПлательщикИНН", "inn-region")]),
    ("0", "770701001", [(E, "ПлательщикИНН", "inn-required")]),
    ("500100732259", "770701001", [(W, "ПлательщикКПП", "kpp-of-person")]),
    ("7707083893", "007701001", []),
])
def test_payer_inn_and_kpp(inn, kpp, expected):
    assert problems_of(order(payer={"inn": inn, "kpp": kpp})) == expected


@pytest.mark.parametrize("bic, account, valid", [
    ("049805746", "40602810700000000025", True),  # the worked examples of the Bank of Russia's rule
    ("049805746", "40602810100000000025", False),
    ("049805000", "30101810800000000746", True),
    ("044525225", "30101810400000000225", True),
    ("045004864", "40802810722200035222", True),
    ("017003983", "40102810445370000059", True),
    ("004525988", "40102810545370000003", True),
    ("044525225", "40702810900000012345", False),
    ("044525974", "30101810145250000974", True),  # real statements
    ("044525593", "30101810200000000593", True),
])
def test_account_control_keys(bic, account, valid):
    from quorlane.payment_order_rules import account_key_is_valid

    assert account_key_is_valid(account, bic) is valid


@pytest.mark.parametrize("payee, bank, expected", [
    ({"account": "40702810500000054321"}, {}, [(E, "ПолучательСчет", "account-key")]),
    ({"account": "03100643000000018500"}, {}, [(E, "ПолучательКорсчет", "treasury-corr-account")]),
    ({}, {"corr_account": "30101810200000000594"}, [(E, "ПолучательКорсчет", "corr-account-bic")]),
    ({}, {"corr_account": "30101810300000000593"}, [(E, "ПолучательКорсчет", "account-key")]),
    ({}, {"corr_account": "40702810400000054321"}, [(E, "ПолучательКорсчет", "corr-account-form")]),
    ({"account": PAYER.account, "inn": PAYER.inn, "bank": SBER}, {}, [(W, "ПолучательСчет", "payer-is-payee")]),
    ({"name": "ООО Лютик р/с 40702810400000054321"}, {}, [(E, "Получатель", "account-in-name")]),
    ({"name": "x" * 161}, {}, [(E, "Получатель1", "too-long")]),
    ({"inn": "500100732259"}, {}, [(W, "ПолучательКПП", "kpp-of-person")]),
    ({"inn": "12345", "kpp": ""}, {}, [(W, "ПолучательИНН", "inn-is-kio")]),
])
def test_payee_numbers(payee, bank, expected):
    document = order(payee=payee) if not bank else order(payee_bank=bank)
    assert problems_of(document) == expected


@pytest.mark.parametrize("changes, expected", [
    ({"number": "1234567"}, [(E, "Номер", "number-form")]),
    ({"number": "12А"}, [(E, "Номер", "number-form")]),
    ({"number": "000"}, [(E, "Номер", "number-form")]),
    ({"date": date(2099, 1, 1)}, [(W, "Дата", "date-future")]),
    ({"date": date(2026, 2, 21)}, [(W, "Дата", "date-stale")]),  # valid for ten days after its date
    ({"date": date(2026, 2, 22)}, []),
    ({"purpose": "   "}, [(E, "НазначениеПлатежа", "purpose-blank")]),
    ({"purpose": "Оплата по счёту № 17"}, [(W, "НазначениеПлатежа", "vat-missing")]),
    ({"purpose": "Оплата «Лютику», без НДС"}, [(W, "НазначениеПлатежа", "purpose-characters")]),
    ({"operation_type": "02"}, [(W, "ВидОплаты", "operation-type")]),
    ({"extra": {"КодНазПлатежа": "7"}}, [(E, "КодНазПлатежа", "form")]),
    ({"extra": {"КодНазПлатежа": "1"}}, [(W, "КодНазПлатежа", "purpose-code-not-person")]),
    ({"extra": {"КодНазПлатежа": "1"}, "payee": {"account": "40817810300000012345", "inn": "500100732259",
                                                 "kpp": ""}}, []),
    ({"code": "18209965144380684245"}, []),
    ({"code": "ABC"}, [(W, "Код", "uin-form")]),
])
def test_document_rules(changes, expected):
    assert problems_of(order(**changes)) == expected


@pytest.mark.parametrize("code, expected", [
    ("0", []),
    ("18209965144380684245", []),
    ("18810139693716487056", []),  # check digit from the second pass
    ("0355717526202452946484640", []),  # 25 digits, both passes 10
    ("18209965144380684246", [(E, "Код", "uin-check-digit")]),
    ("1820996514438068424", [(E, "Код", "uin-form")]),
    ("ABC", [(E, "Код", "uin-form")]),
    ("00000000000000000000", [(E, "Код", "uin-form")]),
    ("", [(E, "Код", "uin-missing")]),
])
def test_uin_of_a_tax_payment(code, expected):
    assert problems_of(dataclasses.replace(TAX, code=code)) == expected


@pytest.mark.parametrize("document, expected", [
    (budget(TAX, status="99"), [(E, "СтатусСоставителя", "status-unknown")]),
    (budget(TAX, status="02"), [(E, "СтатусСоставителя", "status-tax")]),
    (budget(TAX, period="МС.13.2024"), [(E, "ПоказательПериода", "period-tax")]),
    (budget(TAX, oktmo="00000000"), [(E, "ОКАТО", "form")]),
    (budget(TAX, oktmo="45383000"), [(E, "ОКАТО", "oktmo-single-tax")]),
    (budget(TAX, kbk="0"), [(E, "ПоказательКБК", "kbk-required")]),
    (budget(TAX, kbk="0" * 20), [(E, "ПоказательКБК", "form")]),
    (budget(TAX, kbk="18210102010011000110"), [(W, "ПоказательКБК", "kbk-not-single-tax")]),
    (budget(TAX, basis="ТП"), [(E, "ПоказательОснования", "basis-tax")]),
    (budget(TAX, doc_number="5"), [(E, "ПоказательНомера", "doc-number-not-empty")]),
    (budget(TAX, doc_date=date(2026, 1, 1)), [(E, "ПоказательДаты", "doc-date-not-empty")]),
    (budget(TAX, type="НС"), [(W, "ПоказательТипа", "type-unused")]),
    (dataclasses.replace(TAX, payee=PAYEE), [
        (E, "ПолучательИНН", "tax-payee-inn"), (E, "ПолучательСчет", "tax-payee-account"),
        (E, "ПолучательБИК", "tax-payee-bic"), (E, "ПолучательКорсчет", "tax-payee-corr-account"),
        (W, "ПолучательКПП", "tax-payee-kpp")]),
    (dataclasses.replace(TAX, date=date(2025, 12, 1)), [(W, "Дата", "date-stale"),
                                                        (W, "ПолучательКПП", "tax-payee-kpp")]),
    (dataclasses.replace(TAX, payer=dataclasses.replace(PAYER, kpp="0")), []),
    (dataclasses.replace(TAX, payer=dataclasses.replace(PAYER, inn="500100732259", kpp="770101001")),
     [(E, "ПлательщикКПП", "kpp-of-person")]),
    (dataclasses.replace(TAX, payer=dataclasses.replace(PAYER, kpp="007701001")), [(E, "ПлательщикКПП", "kpp-region")]),
    (dataclasses.replace(TAX, operation_type="17"), [(E, "ВидОплаты", "budget-operation-type")]),
    (dataclasses.replace(TAX, priority="3"), [(W, "Очередность", "tax-priority")]),
    (dataclasses.replace(TAX, purpose="0"), []),
    (budget(POLICE_FINE, oktmo="0"), [(E, "ОКАТО", "oktmo-required")]),
    (budget(POLICE_FINE, status="01"), [(W, "СтатусСоставителя", "status-other")]),
    (budget(POLICE_FINE, status="20"), []),
    (dataclasses.replace(budget(POLICE_FINE, status="20"), date=date(2026, 4, 1)),
     [(W, "Дата", "date-future"), (E, "СтатусСоставителя", "status-unknown")]),
    (budget(POLICE_FINE, status="31"), [(E, "Код", "uin-required")]),
    (budget(POLICE_FINE, period="МС.13.2024"), [(W, "ПоказательПериода", "period-form")]),
    (budget(POLICE_FINE, period="КВ.01.2026"), []),
    (dataclasses.replace(budget(POLICE_FINE, period="МС.03.2026"), date=date(2026, 4, 2)),
     [(W, "Дата", "date-future"), (W, "ПоказательПериода", "period-monthly")]),
    (budget(POLICE_FINE, status="24"), []),
    (dataclasses.replace(budget(POLICE_FINE, status="24"), payer=dataclasses.replace(PAYER, inn="0", kpp="0")),
     [(E, "ПоказательНомера", "doc-number-person")]),
    (dataclasses.replace(budget(POLICE_FINE, status="24", doc_number="01;4510123456"),
                         payer=dataclasses.replace(PAYER, inn="0", kpp="0")), []),
    (dataclasses.replace(POLICE_FINE, payee=dataclasses.replace(POLICE_FINE.payee, kpp="0")),
     [(E, "ПолучательКПП", "payee-kpp-required")]),
    (dataclasses.replace(POLICE_FINE, payer=dataclasses.replace(PAYER, kpp="0")),
     [(E, "ПлательщикКПП", "payer-kpp-required")]),
    (budget(CUSTOMS, oktmo="45383000"), [(E, "ОКАТО", "oktmo-customs")]),
    (budget(CUSTOMS, basis="ТП"), [(E, "ПоказательОснования", "basis-customs")]),
    (budget(CUSTOMS, status="16"), [(E, "ПлательщикИНН", "inn-length-for-status")]),
    (budget(CUSTOMS, status="01"), [(E, "СтатусСоставителя", "status-customs")]),
    (budget(CUSTOMS, period="0"), [(E, "ПоказательПериода", "period-customs")]),
    (dataclasses.replace(CUSTOMS, payee=POLICE_FINE.payee), [(E, "ПолучательСчет", "customs-payee-account"),
                                                             (W, "ПолучательКПП", "customs-payee-kpp")]),
    (budget(CUSTOMS, basis="00", doc_number="123"), [(E, "ПоказательНомера", "customs-document")]),
    (budget(CUSTOMS, doc_number="12345678"), [(E, "ПоказательНомера", "customs-document")]),
    (budget(CUSTOMS, basis="ИЛ"), [(E, "ПоказательНомера", "customs-document")]),
    (budget(CUSTOMS, basis="ИЛ", doc_number="ФС 012345678"), []),
])
def test_budget_rules(document, expected):
    assert problems_of(document) == expected


def test_problems_are_data():
    problem, = quorlane.validate_outgoing([ORDER, order(payer={"inn": "7707083894"})], today=TODAY)
    assert isinstance(problem, quorlane.WriteError) and isinstance(problem, quorlane.Problem)
    assert (problem.level, problem.document, problem.key, problem.field, problem.code, str(problem)) == (
        "error", 2, "ПлательщикИНН", 60, "inn-check-digit",
        'document 2: "ПлательщикИНН" (field 60) has a wrong check digit: "7707083894"')
    warning, = quorlane.validate_outgoing([order(date=date(2099, 1, 1))], today=TODAY)
    assert isinstance(warning, quorlane.OrderWarning) and not isinstance(warning, quorlane.WriteError)
    assert (warning.level, warning.document, warning.field, warning.code) == ("warning", 1, 4, "date-future")


def test_warnings_do_not_stop_writing():
    quorlane.dumps_outgoing([order(date=date(2099, 1, 1), purpose="Оплата")], sender="ERP")
    with pytest.raises(quorlane.WriteError, match="inn-check-digit|wrong check digit"):
        quorlane.dumps_outgoing([order(date=date(2099, 1, 1), payer={"inn": "7707083894"})], sender="ERP")


@pytest.mark.parametrize("day, expected", [
    ("02.03.2026", []), ("31.02.2026", [(E, "Дата", "date-form")]), ("2026-03-02", [(E, "Дата", "form")])])
def test_the_date_of_an_order_as_read(day, expected):
    from quorlane.payment_order_fields import document_pairs

    pairs = [(k, day if k == "Дата" else v) for k, v in document_pairs(ORDER, split_purpose=False)]
    assert [(p.level, p.key, p.code) for p in quorlane.validate_order_pairs(
        pairs, kind="Платежное поручение", today=TODAY)] == expected


@pytest.mark.parametrize("document", [ORDER, TAX, order(number="0", payer={"inn": "7707083894"}),
                                      budget(TAX, status="99", period="МС.13.2024", oktmo="00000000")])
def test_an_order_as_read_has_the_problems_it_had_when_made(document):
    from quorlane.payment_order_fields import document_pairs

    made = [(p.level, p.key, p.code, str(p)) for p in quorlane.validate_outgoing([document], today=TODAY)]
    read = [(p.level, p.key, p.code, str(p)) for p in quorlane.validate_order_pairs(
        document_pairs(document, split_purpose=False), kind=document.kind.value, today=TODAY)]
    assert read == made


# --- quorlane check-orders: a file of orders that another program wrote ---


def check_orders(*args: object) -> subprocess.CompletedProcess[str]:
    return quorlane_command("check-orders", *args, encoding="utf-8")


@pytest.mark.slow
def test_check_orders_reports_each_problem_on_its_line(tmp_path):
    lines = quorlane.dumps_outgoing([ORDER, TAX], sender="ERP").decode("cp1251").split("\r\n")
    lines.remove("ПлательщикКПП=770101001")  # the first one: the commercial order needs none
    lines.remove("ПлательщикКПП=770101001")  # the tax payment's, required there
    tax = lines.index("Номер=16", lines.index("Номер=16") + 1) - 1
    inn, code = lines.index("ПлательщикИНН=7701234560", tax), lines.index("Код=0", tax)
    lines[inn], lines[code] = "ПлательщикИНН=7701234567", "Код=1820996514438068424"
    path = tmp_path / "1c_to_kl.txt"
    path.write_bytes("\r\n".join(lines).encode("cp1251"))
    result = check_orders(path, "--today", "2026-03-04")
    assert (result.returncode, result.stderr) == (1, "")
    assert result.stdout.splitlines() == [
        f'{path}:{tax + 1}: error: "ПлательщикКПП" (field 102) is required and empty',
        f'{path}:{inn + 1}: error: "ПлательщикИНН" (field 60) has a wrong check digit: "7701234567"',
        f'{path}:{code + 1}: error: "Код" (field 22) must be a УИН of 20 or 25 digits, or "0": "1820996514438068424"']
    data = quorlane.dumps_outgoing([ORDER], sender="ERP")  # warnings alone pass
    path.write_bytes(data)
    day = data.decode("cp1251").split("\r\n").index("Дата=02.03.2026") + 1
    assert (check_orders(path, "--today", "2026-03-20").returncode, check_orders(path).returncode) == (0, 0)
    assert check_orders(path, "--today", "2026-03-20").stdout == (
        f'{path}:{day}: warning: "Дата" (field 4) is more than 10 days ago; an order is valid for ten days after '
        "its date\n")


@pytest.mark.slow
def test_check_orders_fails_in_one_line_on_what_is_not_orders(tmp_path):
    bad = tmp_path / "bad.txt"
    bad.write_bytes("1CClientBankExchange\nА=1\nмусор\n".encode("cp1251"))
    assert (check_orders(bad).returncode, check_orders(bad).stderr) == (1, f"{bad}:3: Unrecognized line: 'мусор'\n")
    empty = tmp_path / "empty.txt"
    empty.write_bytes("1CClientBankExchange\nСекцияРасчСчет\nДатаНачала=02.03.2026\nРасчСчет=40702810200000012345\n"
                      "НачальныйОстаток=0\nКонецРасчСчет\nКонецФайла\n".encode("utf-8"))
    assert check_orders(empty).stderr == f"{empty}: a file for the bank needs at least one document section\n"
    if os.name == "posix":  # a name with a line feed is shown escaped, as every command shows it: one visible line
        hidden = tmp_path / "new\nline.txt"
        hidden.write_bytes(empty.read_bytes())
        assert check_orders(hidden).stderr == f"{tmp_path}/new\\nline.txt: a file for the bank needs at least one " \
                                              "document section\n"
    assert check_orders(empty, "--today", "4.3.2026").returncode == 2


def test_check_orders_names_a_document_the_reader_drops():
    sample = Path(quorlane.__file__).parent / "data" / "sample_statement.txt"
    result = check_orders(sample, "--today", "2024-03-06")
    assert result.returncode == 1
    assert (f'{sample}:118: warning: the reader drops this document: invalid value: string "2 500,00", expected a '
            'Decimal type representing a fixed-point number (Сумма="2 500,00")') in result.stdout.splitlines()
    assert any(line.endswith('error: "Сумма" (field 7) is not an amount in plain form (digits, optionally a point '
                             'and more digits): "2 500,00"') for line in result.stdout.splitlines())


# --- what is written is what was checked ---


class Disguised(str):
    """A str whose __str__ and __format__ show another text than the characters it holds."""

    def __str__(self) -> str:
        return "Лютик\r\nКонецДокумента\r\nСекцияДокумент=Платежное поручение\r\nНомер=1"

    __format__ = lambda self, spec: str(self)  # noqa: E731


def test_a_str_subclass_is_written_as_the_text_it_holds():
    document = order(payee={"name": Disguised('ООО "Лютик"')},
                     extra={Disguised("СрокПлатежа"): Disguised("05.03.2026")})
    assert messages([document]) == []
    data = quorlane.dumps_outgoing([document], sender=Disguised("ERP"))
    read = quorlane_py.parse(data)
    assert ([d.payee for d in read.documents], read.header["Отправитель"]) == (['ООО "Лютик"'], "ERP")
    assert "СрокПлатежа=05.03.2026\r\n".encode("cp1251") in data
    hidden = order(purpose=type("Hidden", (str,), {"__str__": lambda self: "Оплата без НДС"})("Оплата\nбез НДС"))
    assert [p.code for p in quorlane.validate_outgoing([hidden], today=TODAY)] == ["line-break"]


@pytest.mark.parametrize("encoding, key, message", [
    ("cp1251", "Ключ😀", '"😀" (U+1F600) at position 4 in key "Ключ😀" cannot be encoded in cp1251'),
    ("utf-8", "Ключ\ud800", '"\\u{d800}" (U+D800) at position 4 in key "Ключ\\u{d800}" cannot be encoded in utf-8'),
])
def test_an_extra_key_the_encoding_cannot_hold_is_an_error(encoding, key, message):
    document = order(extra={key: "1"})
    assert messages([document], encoding=encoding) == [f"document 1: {message}"]
    with pytest.raises(quorlane.WriteError, match="cannot be encoded"):
        quorlane.dumps_outgoing([document], sender="ERP", encoding=encoding)
