#!/usr/bin/env python3
"""Writes a synthetic БИК directory (ED807, namespace urn:cbr-ru:ed:v2.0) of realistic size for benchmarks.

    python3 bench/gen_bic_directory.py [--entries N] [--encoding cp1251|utf-8] [--seed S] -o PATH

The output is the same for the same arguments. Its entries mix what the Bank of Russia's daily file holds:
credit institutions and their branches with a correspondent account, SWIFT codes and restrictions now and
then, treasury bodies with their single treasury account, Bank of Russia divisions without accounts, and
participants removed with their dates. The default of 4,000 entries is a little more than the whole directory.
"""

from __future__ import annotations

import argparse
import datetime
import random
from itertools import cycle
from xml.sax.saxutils import quoteattr

PLACES = [("45", "г", "Москва"), ("40", "г", "Санкт-Петербург"), ("65", "г", "Екатеринбург"),
          ("50", "г", "Новосибирск"), ("92", "г", "Казань"), ("60", "г", "Ростов-на-Дону"),
          ("70", "г", "Тула"), ("36", "г", "Самара"), ("03", "г", "Краснодар"), ("04", "г", "Красноярск"),
          ("22", "г", "Нижний Новгород"), ("57", "г", "Пермь"), ("80", "г", "Уфа"), ("75", "г", "Челябинск")]
NAMES = ["СБЕРБАНК", "БАНК ВТБ", "АЛЬФА-БАНК", "ГАЗПРОМБАНК", "РОССЕЛЬХОЗБАНК", "БАНК ОТКРЫТИЕ", "СОВКОМБАНК",
         "ПРОМСВЯЗЬБАНК", "РАЙФФАЙЗЕНБАНК", "РОСБАНК", "БАНК УРАЛСИБ", "АК БАРС", "БАНК САНКТ-ПЕТЕРБУРГ",
         "МКБ", "БАНК ДОМ.РФ", "ЮНИКРЕДИТ БАНК", "ЛОКО-БАНК", "БАНК ЗЕНИТ", "ЭКСПОБАНК", "КУБАНЬ КРЕДИТ"]
STREETS = ["ул Ленина", "пр-кт Мира", "ул Советская", "ул Садовая", "наб Обводного канала", "ул Большая Якиманка"]


def keyed(conditional: str, account: str) -> str:
    """The account with the control key of the Bank of Russia's rule in digit 9."""
    digits = conditional + account[:8] + "0" + account[9:]
    total = sum(int(d) * w for d, w in zip(digits, cycle((7, 1, 3))))
    return account[:8] + str(total % 10 * 3 % 10) + account[9:]


def entry(rng: random.Random, taken: set[str]) -> str:
    while True:
        region, place_type, place = rng.choice(PLACES)
        division = f"{rng.randrange(1, 99):02d}"
        kind = rng.choices(["20", "30", "52", "00"], weights=[40, 40, 15, 5])[0]
        participant = "000" if kind == "00" else f"{rng.randrange(50, 1000):03d}"
        bic = ("04" if kind != "52" else f"0{rng.randrange(3)}") + region + division + participant
        if bic not in taken:
            taken.add(bic)
            break
    name = rng.choice(NAMES)
    if kind == "20":
        name = f'ПАО "{name}"'
    elif kind == "30":
        name = f'ФИЛИАЛ "{place.upper()}" ПАО "{name}"'
    elif kind == "52":
        name = f"ОТДЕЛЕНИЕ {place.upper()} БАНКА РОССИИ//УФК по {place}у"
    else:
        name = f"ГУ Банка России по {place}у"
    opened = datetime.date(1990, 1, 1) + datetime.timedelta(days=rng.randrange(12000))
    removed = rng.random() < 0.06
    info = {
        "NameP": name, "EnglName": "BANK" if kind == "20" else None, "RegN": str(rng.randrange(1, 3500)),
        "CntrCd": "RU", "Rgn": region, "Ind": str(rng.randrange(100000, 699999)), "Tnp": place_type, "Nnp": place,
        "Adr": f"{rng.choice(STREETS)}, {rng.randrange(1, 120)}, стр {rng.randrange(1, 9)}",
        "DateIn": opened.isoformat(), "DateOut": "2025-11-14" if removed else None, "PtType": kind,
        "Srvcs": rng.choice("345"), "XchType": rng.choice("01"), "UID": bic[1:] + "000",
        "ParticipantStatus": "PSDL" if removed else "PSAC",
    }
    lines = [f'  <BICDirectoryEntry BIC="{bic}">']
    attributes = " ".join(f"{key}={quoteattr(value)}" for key, value in info.items() if value is not None)
    if rng.random() < 0.05:
        lines += [f"    <ParticipantInfo {attributes}>",
                  f'      <RstrList Rstr="URRS" RstrDate="{opened + datetime.timedelta(days=300)}"/>',
                  "    </ParticipantInfo>"]
    else:
        lines.append(f"    <ParticipantInfo {attributes}/>")
    if kind in ("20", "30") and rng.random() < 0.5:
        lines.append(f'    <SWBICS SWBIC="BANKRU{rng.randrange(10, 99)}XXX" DefaultSWBIC="1"/>')
    if kind != "00":
        account = keyed("0" + division, ("30101810" if kind != "52" else "40102810") + "0" +
                        f"{rng.randrange(10 ** 8):08d}" + participant)
        state = ' DateOut="2025-11-14" AccountStatus="ACDL"' if removed else ' AccountStatus="ACAC"'
        lines.append(f'    <Accounts Account="{account}" RegulationAccountType="{"CRSA" if kind != "52" else "UTRA"}" '
                     f'CK="{rng.randrange(100):02d}" AccountCBRBIC="04{region}{division}000" '
                     f'DateIn="{opened.isoformat()}"{state}/>')
    lines.append("  </BICDirectoryEntry>")
    return "\n".join(lines)


def directory(entries: int, seed: int) -> str:
    rng, taken = random.Random(seed), set()
    body = "\n".join(entry(rng, taken) for _ in range(entries))
    return (f'<ED807 xmlns="urn:cbr-ru:ed:v2.0" EDNo="800000001" EDDate="2026-03-02" EDAuthor="4583001999" '
            f'CreationReason="FCBD" CreationDateTime="2026-03-02T04:30:12Z" InfoTypeCode="FIRR" '
            f'BusinessDay="2026-03-02" DirectoryVersion="1">\n{body}\n</ED807>\n')


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--entries", type=int, default=4000)
    parser.add_argument("--encoding", choices=("cp1251", "utf-8"), default="cp1251")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("-o", "--output", required=True)
    args = parser.parse_args()
    declared = "WINDOWS-1251" if args.encoding == "cp1251" else "UTF-8"
    text = f'<?xml version="1.0" encoding="{declared}"?>\n' + directory(args.entries, args.seed)
    with open(args.output, "wb") as out:
        out.write(text.replace("\n", "\r\n").encode(args.encoding))


if __name__ == "__main__":
    main()
