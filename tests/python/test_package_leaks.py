"""The package's extension, quorlane._accel, on every way its calls end (a result, the reader's error, a value no
column holds, a text the target cannot keep, a wrong argument): the reference counts of its inputs and of the
classes it uses stay as they were, and memory stays flat."""

from __future__ import annotations

import os
import sys

import pytest

import quorlane
import quorlane_py
from conftest import account, document, rss_growth_kib, statement, steady
from quorlane.text_conversion import write_converted

GOOD = statement(account(), document(), document({"Сумма": "x"}), [*document()[:-1], "Код=1", "КонецДокумента"])
CALLS = {
    "read_table": lambda data: quorlane.read_table(data, name="f", extra_keys=True),
    "read_sections": lambda data: [s.attributes for s in quorlane.read_sections(data).sections],
    "convert": lambda data: quorlane.convert(data, "cp1251", "\n"),
    "dumps": lambda data: quorlane.dumps(quorlane_py.parse(data), encoding="cp1251"),
    "read_outline": lambda data: quorlane._accel.read_outline(data, True).read_documents(
        lambda documents, sections: [s.attributes for s in sections], 2),
    "write_converted": lambda data: write_converted(data, [].append, "cp1251", "\n"),
}
INPUTS = {
    "good": GOOD.encode("cp1251"),
    "str": GOOD,
    "unfinished": statement(account(), end=False),
    "syntax": statement(account(), ["просто строка"]),
    "far date": statement(account(), document({"Дата": "01.01.+9999999"})),  # refused by read_table
    "emoji": GOOD.replace("Оплата", "😀"),  # refused by convert to cp1251
    "not bytes": bytearray(b"x"),
}
CLASSES = [quorlane.Section, quorlane.SectionReading, quorlane.StatementTable, quorlane._accel.Table,
           quorlane._accel.Outline, quorlane.TableError, quorlane.WriteError, quorlane_py.SyntaxError,
           quorlane_py.UnfinishedError, quorlane_py.UnrecognizedLine, quorlane_py.Document, quorlane_py.Statement,
           quorlane_py.Interval]


def run(call, data):
    try:
        call(data)
    except (ValueError, TypeError, quorlane_py.ParseError):
        pass


@pytest.mark.needs("getrefcount")
@pytest.mark.parametrize("name", CALLS)
def test_inputs_and_classes_keep_their_counts(name):
    steady(lambda: [run(CALLS[name], data) for data in INPUTS.values()], [*INPUTS.values(), *CLASSES], rounds=20)


@pytest.mark.needs("getrefcount")
def test_what_the_results_hold_is_released():
    reading = quorlane.read_sections(GOOD)
    statement_ = reading.statement
    assert sys.getrefcount(statement_) == 3  # the reading, `statement_` and the call's argument
    sections = reading.sections
    del reading
    assert sys.getrefcount(statement_) == 2 and sys.getrefcount(sections) == 2
    table = quorlane.read_table(GOOD)
    documents = table.documents
    del table
    assert sys.getrefcount(documents) == 2


@pytest.mark.skipif(not os.path.exists("/proc/self/statm"), reason="needs /proc")
@pytest.mark.needs("memory freed at once")
@pytest.mark.skipif("asan" in os.environ.get("LD_PRELOAD", ""), reason="the sanitizer's quarantine holds freed memory")
def test_memory_stays_flat_over_many_calls():
    big = statement(account(), *[document({"Номер": str(i)}) for i in range(200)]).encode("cp1251")

    def once():
        for call in CALLS.values():
            for data in (big, *INPUTS.values()):
                run(call, data)

    assert rss_growth_kib(once, 10, 100) < 2048
