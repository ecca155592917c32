"""Real statements from other projects (tests/data/real/): each is read by parse and, independently, by the
small reader below, which follows the format's rules only as far as these files need them (plain dates and
amounts, no hooks). Every field of every result must agree; the failing files raise the exact error."""

import re
from pathlib import Path

import pytest

import quorlane_py

REAL = Path(__file__).resolve().parents[1] / "data" / "real"
FILES = sorted(p.name for p in REAL.glob("*.txt"))

# Files that do not read, with the exception, its message and its detail (class name, lineno, fields).
FAILURES = {
    "dronm__clbnk__to_bank.txt": (
        quorlane_py.SyntaxError, "Unrecognized line: 'СекцияДокумент'", ("UnrecognizedLine", 10, ("СекцияДокумент",))
    ),
    "odoo-ru__client-bank-1c__1c_to_kl-win-min-example.txt": (
        quorlane_py.SyntaxError,
        "Unexpected section 'КонецФайла' in context 'header'",
        ("UnexpectedSection", 3, ("КонецФайла", "header")),
    ),
    "zharikovpro__client_bank_exchange__general.txt": (quorlane_py.UnfinishedError, "Statement is not finished", None),
    "zharikovpro__client_bank_exchange__remainings.txt": (
        quorlane_py.UnfinishedError, "Statement is not finished", None
    ),
    "open-condo-software__condo__1CClientBankExchange-Invalid.txt": (
        quorlane_py.UnfinishedError, "Statement is not finished", None
    ),
    "zharikovpro__client_bank_exchange__wrong_format.txt": (
        quorlane_py.NotStatementError, "Input is not a 1C statement", None
    ),
}

DOCUMENT_FIELDS = [  # (attribute, key, kind, required)
    ("doc_number", "Номер", "text", True), ("doc_type", "СекцияДокумент", "text", True),
    ("doc_date", "Дата", "date", True), ("amount", "Сумма", "amount", True),
    ("purpose", "НазначениеПлатежа", "text", True), ("payment_type", "ВидОплаты", "text", False),
    ("ordering", "Очередность", "text", False), ("counterparty_inn", "ПлательщикИНН", "text", True),
    ("counterparty_kpp", "ПлательщикКПП", "text", False), ("counterparty_bic", "ПлательщикБИК", "text", True),
    ("counterparty_bank1", "ПлательщикБанк1", "text", True), ("counterparty_account", "ПлательщикСчет", "text", True),
    ("counterparty", "Плательщик", "text", False), ("counterparty_1", "Плательщик1", "text", False),
    ("counterparty_ras_account", "ПлательщикРасчСчет", "text", False),
    ("counterparty_cor_account", "ПлательщикКорсчет", "text", False), ("outcome_date", "ДатаСписано", "date", False),
    ("payee_inn", "ПолучательИНН", "text", True), ("payee", "Получатель", "text", False),
    ("payee_account", "ПолучательСчет", "text", True), ("payee_kpp", "ПолучательКПП", "text", False),
    ("payee_bic", "ПолучательБИК", "text", True), ("payee_bank1", "ПолучательБанк1", "text", True),
    ("payee_ras_account", "ПолучательРасчСчет", "text", False),
    ("payee_cor_account", "ПолучательКорсчет", "text", False), ("income_date", "ДатаПоступило", "date", False),
]
INTERVAL_FIELDS = [
    ("date_start", "ДатаНачала", "date", True), ("date_end", "ДатаКонца", "date", False),
    ("start_amount", "НачальныйОстаток", "amount", True), ("end_amount", "КонечныйОстаток", "amount", False),
    ("total_income", "ВсегоПоступило", "amount", False), ("total_expense", "ВсегоСписано", "amount", False),
]


class Missing(Exception):
    pass


def value(kind, text):
    if kind == "text":
        return text
    if kind == "date":
        if not text.strip():
            return None
        day, month, year = re.fullmatch(r"(\d\d?)\.(\d\d?)\.(\d{4})", text).groups()
        return f"{int(year):04d}-{int(month):02d}-{int(day):02d}"
    assert re.fullmatch(r"-?\d+(\.\d+)?", text), f"amount {text!r} is beyond this reader"
    return text


def record(fields, attrs):
    out = {}
    for name, key, kind, required in fields:
        if key not in attrs:
            if required:
                raise Missing(f"missing field `{key}`")
            out[name] = None
            continue
        converted = value(kind, attrs[key])
        if converted is None and required:
            raise AssertionError("blank required date is beyond this reader")
        out[name] = converted
    return out


def reference_read(data):
    """(encoding, header, {number: [interval dicts]}, [document dicts], warnings) for a file that reads."""
    try:
        text, encoding = data.decode("utf-8"), "utf-8"
    except UnicodeDecodeError:
        text, encoding = data.decode("cp1251"), "cp1251"
    pieces = text.split("\n")
    lines = [p[:-1] if p.endswith("\r") else p for p in pieces[:-1]] + ([pieces[-1]] if pieces[-1] else [])
    header, accounts, documents, warnings = {}, {}, [], []
    section = None  # None: header; ("account"|"document", type, attrs); "between"; "done"
    for lineno, line in enumerate(lines, start=1):
        if not line.strip():
            continue
        if line == "1CClientBankExchange":
            continue
        if line.startswith("СекцияДокумент="):
            section = ("document", line.split("=", 1)[1], {})
        elif line == "СекцияРасчСчет":
            section = ("account", None, {})
        elif line == "КонецРасчСчет":
            attrs = section[2]
            interval = record(INTERVAL_FIELDS, attrs)
            intervals = accounts.setdefault(attrs["РасчСчет"], [])
            if interval not in intervals:
                intervals.append(interval)
                intervals.sort(key=lambda i: i["date_start"])
            section = "between"
        elif line == "КонецДокумента":
            attrs = dict(section[2])
            attrs.pop("СекцияДокумент", None)
            attrs["СекцияДокумент"] = section[1]
            try:
                documents.append(record(DOCUMENT_FIELDS, attrs))
            except Missing as exc:
                warnings.append((lineno, str(exc)))
            section = "between"
        elif line == "КонецФайла":
            section = "done"
        else:
            key, val = line.split("=", 1)
            (header if section is None else section[2])[key] = val
    return encoding, header, accounts, documents, warnings


def fields(obj, names):
    return {name: getattr(obj, name) for name in names}


@pytest.mark.parametrize("name", [n for n in FILES if n not in FAILURES])
def test_every_field_agrees(name):
    data = (REAL / name).read_bytes()
    encoding, header, accounts, documents, warnings = reference_read(data)
    st = quorlane_py.parse(data)
    assert st.encoding == encoding
    assert list(st.header.items()) == list(header.items())
    assert list(st.accounts) == list(accounts)
    for number, intervals in accounts.items():
        acc = st.accounts[number]
        assert acc.number == number
        assert [fields(i, [f[0] for f in INTERVAL_FIELDS]) for i in acc.intervals] == intervals
    assert [fields(d, [f[0] for f in DOCUMENT_FIELDS]) for d in st.documents] == documents
    assert st.warnings == warnings
    assert documents or accounts  # the file really was read


@pytest.mark.parametrize("name", [n for n in FILES if n in FAILURES])
def test_failing_files_raise_the_exact_error(name):
    cls, message, detail = FAILURES[name]
    with pytest.raises(quorlane_py.ParseError) as info:
        quorlane_py.parse((REAL / name).read_bytes())
    assert type(info.value) is cls and str(info.value) == message
    if detail is not None:
        kind, lineno, values = detail
        assert type(info.value.detail).__name__ == kind
        assert info.value.detail.__getnewargs__() == (lineno, *values)


def _is_utf8(name):
    try:
        (REAL / name).read_bytes().decode("utf-8")
    except UnicodeDecodeError:
        return False
    return True


@pytest.mark.parametrize("name", [name for name in FILES if _is_utf8(name)])
def test_str_and_bytes_agree(name):
    data = (REAL / name).read_bytes()
    text = data.decode("utf-8")
    try:
        from_bytes = quorlane_py.parse(data)
    except quorlane_py.ParseError as exc:
        with pytest.raises(type(exc)) as info:
            quorlane_py.parse(text)
        assert str(info.value) == str(exc)
        return
    from_str = quorlane_py.parse(text)
    assert (from_str.header, from_str.accounts, from_str.documents, from_str.warnings) == (
        from_bytes.header, from_bytes.accounts, from_bytes.documents, from_bytes.warnings)


def test_known_counts():
    # The files' own descriptions: accounts and documents of those that read.
    counts = {
        "kilylabs__client-bank-exchange-php__one_day.txt": (1, 13),
        "kilylabs__client-bank-exchange-php__one_day_utf8.txt": (1, 13),
        "darkeum__client-bank-exchange-php__one_day.txt": (1, 13),
        "dronm__clbnk__kl_to_1c.txt": (1, 3),
        "dronm__clbnk__kl_to_1c.first-commit.txt": (1, 2),
        "odoo-ru__client-bank-1c__kl_to_1c.txt": (1, 1),
        "Unact__client_bank_exchange2__test.txt": (2, 6),
        "zharikovpro__client_bank_exchange__documents.txt": (1, 2),
        "open-condo-software__condo__1CClientBankExchange.txt": (1, 4),
    }
    present = {name: c for name, c in counts.items() if (REAL / name).exists()}
    for name, (n_accounts, n_documents) in present.items():
        st = quorlane_py.parse((REAL / name).read_bytes())
        assert (len(st.accounts), len(st.documents) + len(st.warnings)) == (n_accounts, n_documents), name
