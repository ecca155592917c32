"""`quorlane check-orders`: a file of orders written by another program, checked as the bank checks it."""

from __future__ import annotations

import os
import subprocess
import sys

import pytest

pytest.importorskip("quorlane.sections")

# Two orders as another program wrote them: the first well made, the second with no КПП for the payer of a budget
# payment (a key missing: the section's line, 34), a wrong ИНН check digit (line 40) and a 19-digit УИН (line 57).
ORDERS = """1CClientBankExchange
ВерсияФормата=1.03
Кодировка=Windows
Отправитель=Другая программа
ДатаНачала=02.03.2026
ДатаКонца=02.03.2026
РасчСчет=40702810200000012345
СекцияДокумент=Платежное поручение
Номер=16
Дата=02.03.2026
Сумма=6603.75
ПлательщикСчет=40702810200000012345
Плательщик=ООО "Ромашка"
ПлательщикИНН=7701234560
Плательщик1=ООО "Ромашка"
ПлательщикРасчСчет=40702810200000012345
ПлательщикБанк1=ПАО СБЕРБАНК
ПлательщикБанк2=г. Москва
ПлательщикБИК=044525225
ПлательщикКорсчет=30101810400000000225
ПолучательСчет=40702810400000054321
Получатель=ООО "Лютик"
ПолучательИНН=7709876545
Получатель1=ООО "Лютик"
ПолучательРасчСчет=40702810400000054321
ПолучательБанк1=АО "АЛЬФА-БАНК"
ПолучательБанк2=г. Москва
ПолучательБИК=044525593
ПолучательКорсчет=30101810200000000593
ВидОплаты=01
Очередность=5
НазначениеПлатежа=Оплата по счёту № 17, без НДС
КонецДокумента
СекцияДокумент=Платежное поручение
Номер=17
Дата=02.03.2026
Сумма=100.00
ПлательщикСчет=40702810200000012345
Плательщик=ООО "Ромашка"
ПлательщикИНН=7701234567
Плательщик1=ООО "Ромашка"
ПлательщикРасчСчет=40702810200000012345
ПлательщикБанк1=ПАО СБЕРБАНК
ПлательщикБанк2=г. Москва
ПлательщикБИК=044525225
ПлательщикКорсчет=30101810400000000225
ПолучательСчет=03100643000000018500
Получатель=Казначейство России (ФНС России)
ПолучательИНН=7727406020
Получатель1=Казначейство России (ФНС России)
ПолучательРасчСчет=03100643000000018500
ПолучательБанк1=ОКЦ № 7 ГУ Банка России по ЦФО//УФК по Тульской области
ПолучательБанк2=г Тула
ПолучательБИК=017003983
ПолучательКорсчет=40102810445370000059
ВидОплаты=01
Код=1820996514438068424
НазначениеПлатежа=Единый налоговый платеж
СтатусСоставителя=01
ПолучательКПП=770701001
ПоказательКБК=18201061201010000510
ОКАТО=0
ПоказательОснования=0
ПоказательПериода=0
ПоказательНомера=0
ПоказательДаты=0
Очередность=5
КонецДокумента
КонецФайла
"""


def run(*args: object) -> subprocess.CompletedProcess[str]:
    env = dict(os.environ, PYTHONIOENCODING="utf-8")
    return subprocess.run([sys.executable, "-m", "quorlane", "check-orders", *map(str, args)], env=env,
                          capture_output=True, timeout=120, encoding="utf-8")


def test_every_problem_on_its_line(tmp_path):
    path = tmp_path / "1c_to_kl.txt"
    path.write_bytes(ORDERS.replace("\n", "\r\n").encode("cp1251"))
    result = run(path, "--today", "2026-03-04")
    assert (result.returncode, result.stderr) == (1, "")
    assert result.stdout.splitlines() == [
        f'{path}:34: error: "ПлательщикКПП" (field 102) is required and empty',
        f'{path}:40: error: "ПлательщикИНН" (field 60) has a wrong check digit: "7701234567"',
        f'{path}:57: error: "Код" (field 22) must be a УИН of 20 or 25 digits, or "0": "1820996514438068424"']


def test_warnings_alone_pass(tmp_path):
    path = tmp_path / "1c_to_kl.txt"
    path.write_text(ORDERS[:ORDERS.index("СекцияДокумент=", ORDERS.index("КонецДокумента"))] + "КонецФайла\n",
                    encoding="utf-8")
    result = run(path, "--today", "2026-03-20")
    assert (result.returncode, result.stderr) == (0, "")
    assert result.stdout == f'{path}:10: warning: "Дата" (field 4) is more than 10 days ago; an order is valid ' \
                            "for ten days after its date\n"


def test_unreadable_and_empty_files_fail_in_one_line(tmp_path):
    bad = tmp_path / "bad.txt"
    bad.write_bytes("1CClientBankExchange\nА=1\nмусор\n".encode("cp1251"))
    assert (run(bad).returncode, run(bad).stderr) == (1, f"{bad}:3: Unrecognized line: 'мусор'\n")
    empty = tmp_path / "empty.txt"
    empty.write_text("1CClientBankExchange\nВерсияФормата=1.03\nРасчСчет=40702810200000012345\n"
                     "СекцияРасчСчет\nДатаНачала=02.03.2026\nРасчСчет=40702810200000012345\nНачальныйОстаток=0\n"
                     "КонецРасчСчет\nКонецФайла\n", encoding="utf-8")
    assert run(empty).stderr == f"{empty}: a file for the bank needs at least one document section\n"
    assert run(tmp_path, "--today", "3.4.2026").returncode == 2
