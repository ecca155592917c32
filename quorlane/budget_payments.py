"""Budget payments: the requisites of the tax service and of customs that the checks know, and the single tax
payment (ЕНП) made ready to send."""

from __future__ import annotations

from datetime import date
from typing import Any

from .payment_orders import Amount, Bank, Budget, OutgoingDocument, Party

SINGLE_TAX_KBK = "18201061201010000510"
TAX_SERVICE_INN = "7727406020"
TAX_SERVICE_ACCOUNT = "03100643000000018500"
TAX_SERVICE_KPP = "770701001"
# The tax service's КПП changed on 05.12.2025; orders dated before still name the old one.
TAX_SERVICE_KPP_SINCE = date(2025, 12, 5)
TAX_SERVICE_OLD_KPP = "770801001"
CUSTOMS_ACCOUNT = "03100643000000019502"
CUSTOMS_OKTMO = "45328000"
CUSTOMS_KPP = "773001001"

TAX_SERVICE = Party(
    name="Казначейство России (ФНС России)", inn=TAX_SERVICE_INN, kpp=TAX_SERVICE_KPP, account=TAX_SERVICE_ACCOUNT,
    bank=Bank(name="ОКЦ № 7 ГУ Банка России по ЦФО//УФК по Тульской области", city="г Тула", bic="017003983",
              corr_account="40102810445370000059"))


def single_tax_payment(*, number: str, date: date, amount: Amount, payer: Party,
                       purpose: str = "Единый налоговый платеж", uin: str = "0", **fields: Any) -> OutgoingDocument:
    """A single tax payment (ЕНП) to the tax service: status 01, its КБК, ОКТМО and the indicators 106-109 "0",
    priority 5. `uin` is "0", or the УИН of the tax service's claim being paid. A payer without КПП (an
    individual entrepreneur) is written with КПП "0"; an organisation may give its own. `fields` are further
    OutgoingDocument fields (e.g. extra)."""
    if not payer.kpp:
        payer = Party(name=payer.name, inn=payer.inn, account=payer.account, bank=payer.bank, kpp="0",
                      label=payer.label)
    return OutgoingDocument(number=number, date=date, amount=amount, payer=payer, payee=TAX_SERVICE,
                            purpose=purpose, code=uin, priority="5",
                            budget=Budget(status="01", kbk=SINGLE_TAX_KBK, oktmo="0"), **fields)
