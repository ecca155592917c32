"""Budget payments: the requisites of the tax service and of customs that the checks know, and the single tax
payment (ЕНП) made ready to send."""

from __future__ import annotations

import dataclasses
from datetime import date
from typing import Any

from . import payment_order_dates as dated
from .payment_orders import Amount, Bank, Budget, OutgoingDocument, Party

SINGLE_TAX_KBK = "18201061201010000510"
# The tax service's payee since the single tax payment (2023); its КПП changed on 05.12.2025 (payment_order_dates).
TAX_SERVICE_INN = "7727406020"
TAX_SERVICE_ACCOUNT = "03100643000000018500"
TAX_SERVICE_KPP: str = dated.latest(dated.TAX_SERVICE_KPP)
TAX_SERVICE_BIC = "017003983"
TAX_SERVICE_CORR_ACCOUNT = "40102810445370000059"  # the single treasury account (ЕКС) of the Tula treasury
CUSTOMS_ACCOUNT = "03100643000000019502"
CUSTOMS_OKTMO = "45328000"
CUSTOMS_KPP = "773001001"

TAX_SERVICE = Party(
    name="Казначейство России (ФНС России)", inn=TAX_SERVICE_INN, kpp=TAX_SERVICE_KPP, account=TAX_SERVICE_ACCOUNT,
    bank=Bank(name="ОКЦ № 7 ГУ Банка России по ЦФО//УФК по Тульской области", city="г Тула", bic=TAX_SERVICE_BIC,
              corr_account=TAX_SERVICE_CORR_ACCOUNT))


def single_tax_payment(*, number: str, date: date, amount: Amount, payer: Party,
                       purpose: str = "Единый налоговый платеж", uin: str = "0", **fields: Any) -> OutgoingDocument:
    """A single tax payment (ЕНП) to the tax service: status 01, its КБК, ОКТМО and the indicators 106-109 "0",
    priority 5, the tax service's КПП of the order's date. `uin` is "0", or the УИН of the tax service's claim
    being paid. A payer without КПП (an individual entrepreneur) is written with КПП "0"; an organisation may
    give its own. `fields` are further OutgoingDocument fields (e.g. extra)."""
    if not payer.kpp:
        payer = dataclasses.replace(payer, kpp="0")
    payee_kpp = dated.in_force(dated.TAX_SERVICE_KPP, date) or TAX_SERVICE_KPP
    payee = TAX_SERVICE if payee_kpp == TAX_SERVICE_KPP else dataclasses.replace(TAX_SERVICE, kpp=payee_kpp)
    return OutgoingDocument(number=number, date=date, amount=amount, payer=payer, payee=payee,
                            purpose=purpose, code=uin, priority="5",
                            budget=Budget(status="01", kbk=SINGLE_TAX_KBK, oktmo="0"), **fields)
