"""quorlane.read_table: the same documents, intervals, warnings and errors as quorlane_py.parse, in Arrow columns
of their own types, taken through the PyCapsule interface by pyarrow, Polars and DuckDB where they are installed."""

from __future__ import annotations

import datetime
import gc
import subprocess
import sys
import threading
from decimal import Decimal
from pathlib import Path

import pytest
from hypothesis import HealthCheck, given, settings

import quorlane
import quorlane._accel
import quorlane_py
from conftest import ACCOUNT_NUMBER, account, after_mark, document, quorlane_command, statement
from test_fuzz_parse import statements

try:
    import pyarrow as pa
except ImportError:  # PyPy and machines without the extra: only what needs no consumer runs
    pa = None

needs_pyarrow = pytest.mark.skipif(pa is None, reason="pyarrow is not installed")
# The generated statements begin with a byte order mark now and then, which the package reads past and says so.
pytestmark = pytest.mark.filterwarnings("ignore::quorlane.errors.ByteOrderMarkWarning")

REAL = sorted((Path(__file__).parent.parent / "data" / "real").glob("*.txt"))
FIELDS = [attribute for attribute, _, _ in quorlane._accel.DOCUMENT_TABLE]
INTERVAL_FIELDS = ("date_start", "date_end", "start_amount", "end_amount", "total_income", "total_expense")
EPOCH = datetime.date(1970, 1, 1).toordinal()


def days(iso):
    """A date as parse gives it (YYYY-MM-DD, a signed year beyond 0..9999), as days since 1970, as date32 holds
    it. The calendar repeats every 400 years (146097 days), which brings any year into datetime's range."""
    if iso is None:
        return None
    year, month, day = iso.rsplit("-", 2)
    cycles, year_in_cycle = divmod(int(year), 400)
    return datetime.date(2000 + year_in_cycle, int(month), int(day)).toordinal() - EPOCH + (cycles - 5) * 146097


def scale_of(amount):
    return -Decimal(amount).as_tuple().exponent if amount is not None else 0


def rows(table):
    """The rows of an Arrow table, dates as day numbers (date32's own values, whatever the year)."""
    columns = {name: table.column(name) for name in table.column_names}
    for name, column in columns.items():
        if column.type == pa.date32():
            columns[name] = column.cast(pa.int32())
    return pa.table(columns).to_pylist()


def value(name, text):
    """The value a column holds for a text that parse gives."""
    if name.endswith("_date") or name.startswith("date_"):
        return days(text)
    if name in ("amount", "start_amount", "end_amount", "total_income", "total_expense"):
        return None if text is None else Decimal(text)
    return text


def account_of(parsed, document):
    numbers = list(parsed.accounts)
    if len(numbers) == 1:
        return numbers[0]
    if not numbers:
        return parsed.header.get("РасчСчет")
    for side in (document.counterparty_account, document.payee_account):
        if side in numbers:
            return side
    return None


def check_table(table, data, name=None):
    """The table holds what parse gives for `data`: rows, values, types and warnings."""
    parsed = quorlane_py.parse(after_mark(data))
    assert (table.encoding, table.warnings) == (parsed.encoding, parsed.warnings)
    sections = quorlane.read_sections(data).documents
    scale = max([2] + [scale_of(d.amount) for d in parsed.documents] +
                [scale_of(getattr(i, f)) for a in parsed.accounts.values() for i in a.intervals
                 for f in INTERVAL_FIELDS[2:]])
    documents = pa.table(table)
    own = ["file"] * (name is not None) + ["account", "lineno"]
    assert documents.column_names == own + FIELDS
    expected = [dict({"file": name} if name is not None else {}, account=account_of(parsed, d), lineno=s.end_line,
                     **{f: value(f, getattr(d, f)) for f in FIELDS}) for d, s in zip(parsed.documents, sections)]
    assert rows(documents) == expected
    for field in documents.schema:
        kind = dict((a, k) for a, _, k in quorlane._accel.DOCUMENT_TABLE).get(field.name, "optional text")
        wanted = {"date": pa.date32(), "amount": pa.decimal128(38, scale)}.get(kind.replace("optional ", ""),
                                                                               pa.string())
        assert field.type == (pa.int64() if field.name == "lineno" else wanted), field.name
        own_nullable = {"file": False, "account": True, "lineno": False}
        assert field.nullable == own_nullable.get(field.name, kind.startswith("optional")), field.name
    intervals = pa.table(table.intervals)
    assert intervals.column_names == own[:-2] + ["account", "lineno", *INTERVAL_FIELDS]
    assert [{k: v for k, v in row.items() if k not in ("file", "lineno")} for row in rows(intervals)] == [
        dict(account=number, **{f: value(f, getattr(i, f)) for f in INTERVAL_FIELDS})
        for number, a in parsed.accounts.items() for i in a.intervals]
    assert intervals.schema.field("start_amount").type == pa.decimal128(38, scale)


def same_failure(data, **options):
    """read_table raises what parse raises (after a byte order mark, as the package reads), or gives a table; the
    table, or None."""
    try:
        quorlane_py.parse(after_mark(data))
    except (quorlane_py.ParseError, TypeError) as error:
        with pytest.raises(type(error)) as raised:
            quorlane.read_table(data, **options)
        assert str(raised.value) == str(error)
        detail, expected = getattr(raised.value, "detail", None), getattr(error, "detail", None)
        assert type(detail) is type(expected)
        assert detail is None or detail.__getnewargs__() == expected.__getnewargs__()
        return None
    return quorlane.read_table(data, **options)


@settings(max_examples=150, deadline=None, suppress_health_check=[HealthCheck.too_slow])
@given(statements())
def test_generated_statements_read_as_parse_reads_them(data):
    table = same_failure(data)
    if table is not None and pa is not None:
        check_table(table, data)


@pytest.mark.parametrize("path", REAL, ids=lambda p: p.name)
def test_real_statements_read_as_parse_reads_them(path):
    data = path.read_bytes()
    table = same_failure(data, name=path.name)
    if table is not None and pa is not None:
        check_table(table, data, name=path.name)
        text = data.decode(table.encoding)
        check_table(quorlane.read_table(text), text)


# Two accounts, each the payer of one document; amounts of three scales; a document the reader drops.
TWO_ACCOUNTS = statement(
    account(), account({"РасчСчет": "40702810500000054321", "НачальныйОстаток": "7"}),
    document({"Сумма": "5.125"}), document({"Сумма": "7", "ПлательщикСчет": "40702810500000054321"}),
    document({"ПлательщикСчет": "1", "ПолучательСчет": "2"}), document({"Дата": "31.02.2024"}),
    header={"ВерсияФормата": "1.03"})


@needs_pyarrow
def test_the_account_the_scale_and_the_warnings():
    table = quorlane.read_table(TWO_ACCOUNTS)
    check_table(table, TWO_ACCOUNTS)
    documents = pa.table(table)
    assert documents.column("account").to_pylist() == [ACCOUNT_NUMBER, "40702810500000054321", None]
    assert documents.schema.field("amount").type == pa.decimal128(38, 3)
    assert [len(table), len(table.warnings)] == [3, 1]
    fixed = pa.table(quorlane.read_table(TWO_ACCOUNTS.replace("5.125", "5.120"), amount_scale=2))
    assert fixed.column("amount").to_pylist()[:2] == [Decimal("5.12"), Decimal("7.00")]


@pytest.mark.parametrize("data, amount_scale, code, line", [
    (TWO_ACCOUNTS, 2, "amount-scale", "Сумма=5.125"),
    (statement(account(), document({"Сумма": "79228162514264337593543950335"}), document({"Сумма": "1E-13"})), None,
     "amount-digits", "Сумма=792"),  # 29 digits at a scale of 13
    (statement(account({"ДатаНачала": "01.01.+9999999"}), document()), None, "date-range", "ДатаНачала=01.01.+"),
    (statement(account(), document({"ДатаСписано": "01.01.-6000000"})), None, "date-range", "ДатаСписано=01"),
])
def test_what_no_column_can_hold_is_refused_with_its_place(data, amount_scale, code, line):
    with pytest.raises(quorlane.TableError) as raised:
        quorlane.read_table(data.encode("cp1251"), amount_scale=amount_scale)
    error = raised.value
    number = next(n for n, text in enumerate(data.split("\n"), 1) if text.startswith(line))
    assert (error.code, error.key, error.line, error.column) == (code, line.split("=")[0], number, len(error.key) + 2)
    assert str(error) == f"line {number}: {error.message}" and isinstance(error, ValueError)


@needs_pyarrow
def test_keys_beyond_the_fields_are_text_columns():
    data = statement(account(), [*document()[:-1], "ПоказательКБК=18210301000011000110", "Код=0", "Код=1",
                                 "КонецДокумента"], document({"Сумма": None}), document())
    sections = quorlane.read_sections(data).documents
    named = pa.table(quorlane.read_table(data, extra_keys=["Код", "ОКАТО"]))
    assert named.column_names[-2:] == ["Код", "ОКАТО"] and named.schema.field("Код").type == pa.string()
    assert named.column("Код").to_pylist() == ["1", None] == [s.get("Код") for s in sections]
    assert named.column("ОКАТО").null_count == 2
    every = pa.table(quorlane.read_table(data.encode("cp1251"), extra_keys=True))
    assert every.column_names[len(FIELDS) + 2:] == ["ПоказательКБК", "Код"]
    assert every.drop_columns(["ПоказательКБК"]).equals(named.drop_columns(["ОКАТО"]))
    for keys, error in [(["Код", "Код"], ValueError), ("Код", TypeError), ([1], TypeError)]:
        with pytest.raises(error):
            quorlane.read_table(data, extra_keys=keys)
    # Keys named like the table's own columns, or like such a key's column, get columns of their own, as in csv.
    clashing = statement(account(), [*document()[:-1], "amount=999", "lineno=x", "key:amount=y", "КонецДокумента"])
    named = {"key:amount": "999", "key:lineno": "x", "key:key:amount": "y"}
    every = pa.table(quorlane.read_table(clashing, extra_keys=True, name="f"))
    assert every.column_names[len(FIELDS) + 3:] == list(named) and every.schema.field("amount").type == pa.decimal128(38, 2)
    assert {name: every.column(name).to_pylist() for name in named} == {k: [v] for k, v in named.items()}
    chosen = pa.table(quorlane.read_table(clashing, extra_keys=["amount", "key:amount"]))
    assert chosen.column_names[-2:] == ["key:amount", "key:key:amount"]
    assert chosen.column("key:amount").to_pylist() == ["999"]
    assert pa.table(quorlane.empty_table(extra_keys=["amount"])).column_names[-1] == "key:amount"
    header = quorlane_command("csv", "--all-keys", "-", stdin=clashing.encode()).stdout.decode().splitlines()[0]
    assert header.split(",")[-3:] == list(named) and len(set(header.split(","))) == len(header.split(","))


@needs_pyarrow
def test_the_capsules_hand_out_the_tables_buffers_without_a_copy():
    data = (REAL[0].parent / "kilylabs__client-bank-exchange-php__one_day.txt").read_bytes()
    table = quorlane.read_table(data, name="one_day.txt")
    before = pa.total_allocated_bytes()
    first, second = pa.table(table), pa.RecordBatchReader.from_stream(table.documents).read_all()
    assert pa.total_allocated_bytes() == before  # the buffers are the table's own, not pyarrow's copies
    assert first.equals(second) and pa.schema(table) == first.schema == pa.schema(table.documents)
    requested = table.__arrow_c_stream__(pa.schema(table).__arrow_c_schema__())
    assert pa.RecordBatchReader._import_from_c_capsule(requested).read_all().equals(first)
    unread = table.__arrow_c_stream__()  # a capsule dropped unread releases its stream
    del table, unread
    gc.collect()
    assert first.column("counterparty_bic").to_pylist()[0] == "044525716"  # alive without the table


@needs_pyarrow
@pytest.mark.parametrize("name, header", [(None, None), ("n" * 100, None), ("n" * 100, {"РасчСчет": "4" * 500})],
                         ids=["fields", "file", "account"])
def test_a_large_statement_comes_in_batches_whose_every_column_keeps_within_the_limit(monkeypatch, name, header):
    # The file's and the account's columns are made at the end, the others while reading: all are cut alike.
    sections = [document({"Номер": str(n)}) for n in range(40)]
    data = statement(*sections, header=header) if header else statement(account(), *sections)
    whole = pa.table(quorlane.read_table(data, name=name))
    monkeypatch.setattr(quorlane.table, "_BATCH_BYTES", 2000)
    batches = list(pa.RecordBatchReader.from_stream(quorlane.read_table(data, name=name)))
    assert len(batches) > 2
    for batch in batches:
        batch.validate(full=True)
        for column in batch.columns:
            if column.type == pa.string():
                assert sum(len(text.encode()) for text in column.to_pylist() if text) <= 2000
    assert pa.Table.from_batches(batches).equals(whole)
    monkeypatch.setattr(quorlane.table, "_BATCH_BYTES", 50)  # one purpose is longer
    with pytest.raises(quorlane.TableError) as raised:
        quorlane.read_table(data)
    assert (raised.value.code, raised.value.key) == ("text-size", "НазначениеПлатежа")


@pytest.mark.parametrize("keys", [["amount\x00"], True])
def test_a_key_holding_nul_names_no_column(keys):
    # Arrow's names are C strings: "amount\0" would become a second "amount".
    data = statement(account(), [*document()[:-1], "amount\x00=1", "КонецДокумента"])
    with pytest.raises(ValueError, match="NUL") as raised:
        quorlane.read_table(data, extra_keys=keys)
    if keys is True:
        assert (raised.value.code, raised.value.key) == ("column-name", "amount\x00")


@needs_pyarrow
def test_an_empty_table_has_the_columns_of_a_read_one():
    data = REAL[0].parent / "odoo-ru__client-bank-1c__kl_to_1c.txt"
    read = quorlane.read_table(data.read_bytes(), name="a", extra_keys=["КБК"], amount_scale=2)
    empty = quorlane.empty_table(name="b", extra_keys=["КБК"])
    assert pa.schema(empty) == pa.schema(read) and len(empty) == 0
    assert pa.schema(empty.intervals) == pa.schema(read.intervals)


@needs_pyarrow
def test_threads_read_at_once():
    datas = [path.read_bytes() for path in REAL if same_failure(path.read_bytes()) is not None] * 4
    expected = [pa.table(quorlane.read_table(data)) for data in datas]
    got = [None] * len(datas)

    def work(index):
        got[index] = pa.table(quorlane.read_table(datas[index]))

    threads = [threading.Thread(target=work, args=(i,)) for i in range(len(datas))]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert all(a.equals(b) for a, b in zip(got, expected))


# Three daemon threads reading without the interpreter lock when the main thread returns: the interpreter ends
# while they read, and none of them may take the lock back (which would abort the process).
ENDING_WHILE_READING = """
import threading, time, quorlane
from conftest import account, document, statement
data = statement(account(), *[document({"Номер": str(n)}) for n in range(20000)]).encode("cp1251")
def read():
    while True:
        quorlane.read_table(data)
for _ in range(3):
    threading.Thread(target=read, daemon=True).start()
time.sleep(0.3)
"""


def test_the_interpreter_ends_while_daemon_threads_read():
    for _ in range(2):
        ended = subprocess.run([sys.executable, "-c", ENDING_WHILE_READING], cwd=Path(__file__).parent,
                               capture_output=True, timeout=60)
        assert (ended.returncode, ended.stderr) == (0, b"")


def test_the_capsules_are_the_interfaces():
    table = quorlane.read_table(statement(account(), document()))
    assert 'arrow_array_stream' in repr(table.__arrow_c_stream__()) and 'arrow_schema' in repr(
        table.__arrow_c_schema__())
    assert table.column_names == ("account", "lineno", *FIELDS) and len(table) == 1
    for bad, error in [({"name": b"x"}, TypeError), ({"amount_scale": 39}, ValueError),
                       ({"amount_scale": True}, TypeError)]:
        with pytest.raises(error):
            quorlane.read_table(b"", **bad)


def test_polars_and_duckdb_take_the_table():
    pl = pytest.importorskip("polars")
    duckdb = pytest.importorskip("duckdb")
    data = TWO_ACCOUNTS
    documents = quorlane.read_table(data)
    frame = pl.DataFrame(documents)
    assert frame.shape == (3, len(FIELDS) + 2)
    assert (frame.schema["doc_date"], frame.schema["amount"], frame.schema["payee_bic"]) == (
        pl.Date, pl.Decimal(38, 3), pl.String)
    assert frame["amount"].to_list() == [Decimal("5.125"), Decimal("7.000"), Decimal("12000.000")]
    found = duckdb.sql("select count(*), sum(amount), min(doc_date), any_value(typeof(amount)) from documents").fetchall()[0]
    assert found == (3, Decimal("12012.125"), datetime.date(2024, 3, 5), "DECIMAL(38,3)")


def test_the_classes_are_the_modules_own_whatever_its_names_hold(monkeypatch):
    monkeypatch.setattr(quorlane._accel, "Table", dict)
    monkeypatch.setattr(quorlane._accel, "Section", int)
    data = statement(account(), document())
    assert type(quorlane.read_table(data).documents).__name__ == "Table"
    assert type(quorlane.read_sections(data).header).__name__ == "Section"
