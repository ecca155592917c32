"""Payment orders for the bank: every problem is reported at once with a fixed message, and a valid file
reads back."""

from __future__ import annotations

import dataclasses
from datetime import date, datetime
from decimal import Decimal

import pytest

import quorlane
import quorlane_py

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
    (order(amount=Decimal("10.005")), ['document 1: "Сумма" has more than 2 fractional digits: "10.005"']),
    (order(amount="1 000,00"), ['document 1: "Сумма" is not an amount in plain form (digits, optionally a point and '
                                'more digits): "1 000,00"']),
    (order(amount=0), ['document 1: "Сумма" must be more than zero: "0"']),
    (order(amount=Decimal("-5")), ['document 1: "Сумма" must be more than zero: "-5"']),
    (order(amount=Decimal("NaN")), ['document 1: "Сумма" is not a finite amount: "NaN"']),
    (order(amount=10 ** 16), ['document 1: "Сумма" has more than 16 digits before the point: "10000000000000000"']),
    (order(payer={"inn": "77012"}), ['document 1: "ПлательщикИНН" must be 10 or 12 digits, or "0", not "77012"']),
    (order(payer={"kpp": "7701О1001"}), ['document 1: "ПлательщикКПП" must be 9 characters (4 digits, 2 digits or '
                                         'capital Latin letters, 3 digits), or "0", not "7701О1001"']),
    (order(payee={"account": "4070281050000005432"}),
     ['document 1: "ПолучательСчет" must be 20 digits, not "4070281050000005432"',
      'document 1: "ПолучательРасчСчет" must be 20 digits, not "4070281050000005432"']),
    (order(payee_bank={"bic": "04452559"}), ['document 1: "ПолучательБИК" must be 9 digits, not "04452559"']),
    (order(payee_bank={"city": ""}), ['document 1: "ПолучательБанк2" is required and empty']),
    (order(priority="7"), ['document 1: "Очередность" must be one digit from 1 to 5, not "7"']),
    (order(purpose=""), ['document 1: "НазначениеПлатежа" is required and empty']),
    (order(purpose="x" * 211), ['document 1: "НазначениеПлатежа" is longer than 210 characters (211)']),
    (order(purpose="За\nтовар"), ['document 1: value of "НазначениеПлатежа" contains a line break at position 2; '
                                  'the format has no escaping']),
    (order(purpose="Оплата 5 ₽"), ['document 1: "₽" (U+20BD) at position 9 in value of "НазначениеПлатежа" cannot '
                                   'be encoded in cp1251']),
    (order(number="", payer={"name": "A\u2028B"}),
     ['document 1: "Номер" is required and empty',
      'document 1: value of "Плательщик1" contains "\\u{2028}" (U+2028) at position 1, a line break to other '
      'readers']),
    (order(extra={"Номер": "1", "A=B": "x", "КодНазПлатежа": "1"}),
     ['document 1: key "Номер" of extra is written from a field already',
      'document 1: key "A=B" contains "=" at position 1; a key ends at the first "="']),
    (dataclasses.replace(TAX, payee=dataclasses.replace(quorlane.TAX_SERVICE, kpp=""),
                         budget=dataclasses.replace(TAX.budget, oktmo="123", basis="")),
     ['document 1: "ПолучательКПП" is required and empty', 'document 1: "ПоказательОснования" is required and empty',
      'document 1: "ОКАТО" must be 8 or 11 digits, not all zeros, or "0", not "123"']),
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
