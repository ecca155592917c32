"""Large statements read the same whatever their encoding, with or without hooks."""

import pytest

import quorlane_py
from conftest import account, document, statement


def _large_statement() -> str:
    # Large enough (tens of megabytes) for the reader to give decoded memory back while it goes on.
    purpose = "Оплата по договору поставки, в т.ч. НДС 20% " * 8
    documents = [document({"Номер": str(i), "НазначениеПлатежа": f"{purpose}{i}"}) for i in range(40_000)]
    return statement(account(), *documents, account({"ДатаНачала": "02.01.2024"}))


def _summary(result):
    return (result.header, result.accounts, result.documents, result.warnings)


@pytest.mark.parametrize("hooks", [None, [lambda section_type, attrs, header: None]], ids=["no hooks", "hook"])
def test_windows_1251_reads_like_utf8(hooks):
    text = _large_statement()
    cp1251 = quorlane_py.parse(text.encode("cp1251"), hooks=hooks)
    utf8 = quorlane_py.parse(text.encode("utf-8"), hooks=hooks)
    assert (cp1251.encoding, utf8.encoding) == ("cp1251", "utf-8")
    assert len(cp1251.documents) == 40_000
    assert cp1251.documents[-1].purpose.endswith("39999")
    assert _summary(cp1251) == _summary(utf8)
