"""The keys of the format in the order the exchange standard lists them, and which attribute of the reader's
result classes each one feeds."""

from __future__ import annotations

from . import _accel

# The standard's header keys, in its order.
HEADER_ORDER = ("ВерсияФормата", "Кодировка", "Отправитель", "Получатель", "ДатаСоздания", "ВремяСоздания",
                "ДатаНачала", "ДатаКонца", "РасчСчет", "Документ")
HEADER_DATE_KEYS = ("ДатаСоздания", "ДатаНачала", "ДатаКонца")

# The standard's document keys, in its order (the bank-only receipt keys left out).
DOCUMENT_ORDER = (
    "Номер", "Дата", "Сумма",
    "ПлательщикСчет", "ДатаСписано", "Плательщик", "ПлательщикИНН",
    "Плательщик1", "Плательщик2", "Плательщик3", "Плательщик4",
    "ПлательщикРасчСчет", "ПлательщикБанк1", "ПлательщикБанк2", "ПлательщикБИК", "ПлательщикКорсчет",
    "ПолучательСчет", "ДатаПоступило", "Получатель", "ПолучательИНН",
    "Получатель1", "Получатель2", "Получатель3", "Получатель4",
    "ПолучательРасчСчет", "ПолучательБанк1", "ПолучательБанк2", "ПолучательБИК", "ПолучательКорсчет",
    "ВидПлатежа", "КодНазПлатежа", "ВидОплаты", "Код",
    "НазначениеПлатежа", *(f"НазначениеПлатежа{i}" for i in range(1, 7)),
    "СтатусСоставителя", "ПлательщикКПП", "ПолучательКПП", "ПоказательКБК", "ОКАТО", "ПоказательОснования",
    "ПоказательПериода", "ПоказательНомера", "ПоказательДаты", "ПоказательТипа",
    "Очередность", "СрокАкцепта", "ВидАккредитива", "СрокПлатежа", "УсловиеОплаты1", "УсловиеОплаты2",
    "УсловиеОплаты3", "ПлатежПоПредст", "ДополнУсловия", "НомерСчетаПоставщика", "ДатаОтсылкиДок",
)

# The reader's document field table, in quorlane_py.Document's attribute order: (attribute, key, kind), kind
# one of "text", "optional text", "date", "optional date", "amount". The document type comes from the section's
# opening line ("СекцияДокумент=..."), not from a key.
DOCUMENT_TABLE: tuple[tuple[str, str, str], ...] = _accel.DOCUMENT_TABLE

# quorlane_py.Document's attributes in its own order (the order of to_dict and of CSV columns).
DOCUMENT_FIELDS = tuple(attribute for attribute, _, _ in DOCUMENT_TABLE)

# The attribute of quorlane_py.Document that each document key feeds.
DOCUMENT_ATTRIBUTE = {key: attribute for attribute, key, _ in DOCUMENT_TABLE if attribute != "doc_type"}
DOCUMENT_DATE_KEYS = frozenset(key for _, key, kind in DOCUMENT_TABLE if kind.endswith("date"))

# The keys a Document is written with, in the standard's order.
DOCUMENT_KEYS = tuple(key for key in DOCUMENT_ORDER if key in DOCUMENT_ATTRIBUTE)

# The reader's interval field table, in quorlane_py.Interval's attribute order: (attribute, key, kind).
INTERVAL_TABLE: tuple[tuple[str, str, str], ...] = _accel.INTERVAL_TABLE
INTERVAL_FIELDS = tuple(attribute for attribute, _, _ in INTERVAL_TABLE)

# An account section: (key, attribute of quorlane_py.Interval) in the order the standard writes them: the dates,
# then the account number ("РасчСчет"), then the opening balance, the income, the expense and the closing balance.
_INTERVAL_KEY = {attribute: key for attribute, key, _ in INTERVAL_TABLE}
INTERVAL_KEYS_BEFORE_NUMBER = tuple((_INTERVAL_KEY[a], a) for a in ("date_start", "date_end"))
INTERVAL_KEYS_AFTER_NUMBER = tuple((_INTERVAL_KEY[a], a) for a in ("start_amount", "total_income", "total_expense",
                                                                   "end_amount"))

# The number of the field on the payment order form (0401060) that each document key fills.
FORM_FIELD = {
    "Номер": 3, "Дата": 4, "Сумма": 7, "Плательщик": 8, "Плательщик1": 8, "ПлательщикСчет": 9,
    "ПлательщикРасчСчет": 9, "ПлательщикБанк1": 10, "ПлательщикБанк2": 10, "ПлательщикБИК": 11,
    "ПлательщикКорсчет": 12, "ПолучательБанк1": 13, "ПолучательБанк2": 13, "ПолучательБИК": 14,
    "ПолучательКорсчет": 15, "Получатель": 16, "Получатель1": 16, "ПолучательСчет": 17, "ПолучательРасчСчет": 17,
    "ВидОплаты": 18, "СрокПлатежа": 19, "КодНазПлатежа": 20, "Очередность": 21, "Код": 22,
    "НазначениеПлатежа": 24, "ПлательщикИНН": 60, "ПолучательИНН": 61, "СтатусСоставителя": 101,
    "ПлательщикКПП": 102, "ПолучательКПП": 103, "ПоказательКБК": 104, "ОКАТО": 105, "ПоказательОснования": 106,
    "ПоказательПериода": 107, "ПоказательНомера": 108, "ПоказательДаты": 109, "ПоказательТипа": 110,
}
