#!/usr/bin/env python3
"""Writes a realistic 1CClientBankExchange statement for benchmarks and tests.

    python3 bench/gen_statement.py --documents N [--encoding utf-8|cp1251] [--seed S] -o PATH

The output is the same for the same arguments. Every document carries the keys a bank's export usually
has (all the keys the reader knows, and a few it ignores), CRLF line ends, and parses without warnings.
"""

import argparse
import datetime
import random
import sys

FORMS = ["ООО", "АО", "ПАО", "ИП", "ЗАО"]
NAME_PARTS = [
    "Ромашка", "Северный ветер", "Технопарк", "Стройинвест", "Уральские самоцветы", "Волга-Логистик",
    "Сибирская нива", "Альфа-Сервис", "Торговый дом Меридиан", "Промснаб", "Электросеть", "Гранит",
    "Балтийская верфь", "Медтехника плюс", "Фарм-Здоровье",
]
SURNAMES = ["Иванов Иван Иванович", "Петрова Мария Сергеевна", "Смирнов Алексей Петрович",
            "Кузнецова Ольга Николаевна", "Соколов Дмитрий Андреевич"]
BANKS = [
    ("ПАО СБЕРБАНК", "г. Москва", "044525225", "30101810400000000225"),
    ("АО \"АЛЬФА-БАНК\"", "г. Москва", "044525593", "30101810200000000593"),
    ("Банк ВТБ (ПАО)", "г. Москва", "044525187", "30101810700000000187"),
    ("ФИЛИАЛ \"САНКТ-ПЕТЕРБУРГСКИЙ\" АО \"АЛЬФА-БАНК\"", "г. Санкт-Петербург", "044030786",
     "30101810600000000786"),
    ("УРАЛЬСКИЙ БАНК ПАО СБЕРБАНК", "г. Екатеринбург", "046577674", "30101810500000000674"),
    ("АО \"ТИНЬКОФФ БАНК\"", "г. Москва", "044525974", "30101810145250000974"),
]
PURPOSES = [
    "Оплата по счету № {n} от {d} за строительные материалы по договору № {c}",
    "Оплата по договору № {c} от {d} за транспортные услуги, акт № {n}",
    "Предоплата по счету № {n} от {d} за программное обеспечение",
    "Возврат излишне перечисленных денежных средств по платежному поручению № {n} от {d}",
    "Арендная плата по договору аренды № {c}, счет № {n} от {d}",
    "Оплата за электроэнергию по договору энергоснабжения № {c}, счет-фактура № {n} от {d}",
    "Перечисление заработной платы по реестру № {n} от {d}",
]
VATS = ["В т.ч. НДС 20% - {v} руб.", "Без НДС.", "НДС не облагается."]


def digits(rng, n):
    return "".join(rng.choice("0123456789") for _ in range(n))


def make_party(rng):
    form = rng.choice(FORMS)
    if form == "ИП":
        name = "ИП " + rng.choice(SURNAMES)
        inn, kpp = digits(rng, 12), ""
    else:
        name = "%s \"%s\"" % (form, rng.choice(NAME_PARTS))
        inn, kpp = digits(rng, 10), digits(rng, 9)
    bank = rng.choice(BANKS)
    account = "40702810" + digits(rng, 12)
    return {"name": name, "inn": inn, "kpp": kpp, "bank": bank, "account": account}


def amount(rng, low, high):
    return "%d.%02d" % (rng.randint(low, high), rng.randint(0, 99))


def document_lines(rng, number, day, payer, payee, incoming):
    date = day.strftime("%d.%m.%Y")
    total = amount(rng, 100, 2_500_000)
    vat = "%.2f" % (float(total) / 6)
    purpose = rng.choice(PURPOSES).format(n=rng.randint(1, 99999), d=date, c="%d/%02d-П" % (
        rng.randint(1, 9999), rng.randint(1, 99)))
    if rng.random() < 0.6:
        purpose += " " + rng.choice(VATS).format(v=vat)
    lines = [
        "СекцияДокумент=Платежное поручение",
        "Номер=%d" % number,
        "Дата=" + date,
        "Сумма=" + total,
        "ПлательщикСчет=" + payer["account"],
        "ДатаСписано=" + ("" if incoming else date),
        "Плательщик=" + payer["name"],
        "ПлательщикИНН=" + payer["inn"],
        "Плательщик1=" + payer["name"],
        "ПлательщикРасчСчет=" + payer["account"],
        "ПлательщикБанк1=" + payer["bank"][0],
        "ПлательщикБанк2=" + payer["bank"][1],
        "ПлательщикБИК=" + payer["bank"][2],
        "ПлательщикКорсчет=" + payer["bank"][3],
        "ПлательщикКПП=" + payer["kpp"],
        "ПолучательСчет=" + payee["account"],
        "ДатаПоступило=" + (date if incoming else ""),
        "Получатель=" + payee["name"],
        "ПолучательИНН=" + payee["inn"],
        "ПолучательРасчСчет=" + payee["account"],
        "ПолучательБанк1=" + payee["bank"][0],
        "ПолучательБанк2=" + payee["bank"][1],
        "ПолучательБИК=" + payee["bank"][2],
        "ПолучательКорсчет=" + payee["bank"][3],
        "ПолучательКПП=" + payee["kpp"],
        "ВидОплаты=01",
        "Код=0",
        "СтатусСоставителя=" + rng.choice(["", "01", "08"]),
        "Очередность=5",
        "НазначениеПлатежа=" + purpose,
        "КонецДокумента",
    ]
    return lines


def statement_lines(documents, seed, encoding):
    rng = random.Random(seed)
    start = datetime.date(2024, 1, 1)
    days = max(1, min(365, documents // 50 + 1))
    end = start + datetime.timedelta(days=days - 1)
    own = [make_party(rng) for _ in range(rng.randint(1, 3))]
    counterparties = [make_party(rng) for _ in range(200)]
    fmt = "%d.%m.%Y"
    yield "1CClientBankExchange"
    yield "ВерсияФормата=1.03"
    yield "Кодировка=" + ("Windows" if encoding == "cp1251" else "UTF-8")
    yield "Отправитель=Бухгалтерия предприятия, редакция 3.0"
    yield "Получатель="
    yield "ДатаСоздания=" + end.strftime(fmt)
    yield "ВремяСоздания=%02d:%02d:%02d" % (rng.randint(8, 19), rng.randint(0, 59), rng.randint(0, 59))
    yield "ДатаНачала=" + start.strftime(fmt)
    yield "ДатаКонца=" + end.strftime(fmt)
    for party in own:
        yield "РасчСчет=" + party["account"]
    for party in own:
        opening = amount(rng, 10_000, 50_000_000)
        income, expense = amount(rng, 0, 90_000_000), amount(rng, 0, 40_000_000)
        closing = "%.2f" % (float(opening) + float(income) - float(expense))
        yield "СекцияРасчСчет"
        yield "ДатаНачала=" + start.strftime(fmt)
        yield "ДатаКонца=" + end.strftime(fmt)
        yield "РасчСчет=" + party["account"]
        yield "НачальныйОстаток=" + opening
        yield "ВсегоПоступило=" + income
        yield "ВсегоСписано=" + expense
        yield "КонечныйОстаток=" + closing
        yield "КонецРасчСчет"
    for i in range(documents):
        day = start + datetime.timedelta(days=i * days // max(1, documents))
        ours, theirs = rng.choice(own), rng.choice(counterparties)
        incoming = rng.random() < 0.4
        payer, payee = (theirs, ours) if incoming else (ours, theirs)
        yield from document_lines(rng, 1000 + i, day, payer, payee, incoming)
    yield "КонецФайла"


def main(argv=None):
    parser = argparse.ArgumentParser(description="Generate a 1CClientBankExchange statement.")
    parser.add_argument("--documents", type=int, required=True, help="number of payment documents")
    parser.add_argument("--encoding", choices=["utf-8", "cp1251"], default="utf-8")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("-o", dest="output", required=True, help="output path")
    args = parser.parse_args(argv)
    if args.documents < 0:
        parser.error("--documents must not be negative")
    with open(args.output, "w", encoding=args.encoding, newline="") as out:
        batch = []
        for line in statement_lines(args.documents, args.seed, args.encoding):
            batch.append(line)
            if len(batch) >= 4096:
                out.write("\r\n".join(batch) + "\r\n")
                batch.clear()
        if batch:
            out.write("\r\n".join(batch) + "\r\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
