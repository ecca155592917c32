"""quorlane.read_sections: every section as written, each document matched to its own section."""

from __future__ import annotations

from pathlib import Path

import pytest

import quorlane
import quorlane_py
from conftest import document, statement
from quorlane import _accel

REAL = sorted((Path(__file__).parent.parent / "data" / "real").glob("*.txt"))


def readable(path: Path) -> bool:
    try:
        quorlane_py.parse(path.read_bytes())
    except quorlane_py.ParseError:
        return False
    return True


READABLE = [p for p in REAL if readable(p)]

MARKERS = {"header": ("1CClientBankExchange", None), "account": ("СекцияРасчСчет", "КонецРасчСчет"),
           "document": ("СекцияДокумент=", "КонецДокумента")}


@pytest.mark.parametrize("path", READABLE, ids=lambda p: p.name)
def test_sections_are_the_lines_of_the_file(path):
    data = path.read_bytes()
    reading = quorlane.read_sections(data)
    lines = quorlane.convert(data, "utf-8", "\n").decode("utf-8").split("\n")
    assert reading.sections[0] is reading.header and reading.header.kind == "header"
    for section in reading.sections:
        opening, closing = MARKERS[section.kind]
        assert lines[section.start_line - 1].startswith(opening)
        if closing:
            assert lines[section.end_line - 1] == closing
        assert [lines[n - 1] for n in section.lines] == [f"{k}={v}" for k, v in section.attributes]
        assert all(section.start_line < n <= section.end_line for n in section.lines)
    written = [line for line in lines if "=" in line and not line.startswith("СекцияДокумент=")]
    assert sum(len(s.attributes) for s in reading.sections) == len(written)  # every key of every section
    assert len(reading.documents) == len(reading.statement.documents)
    for section, parsed in zip(reading.documents, reading.statement.documents):
        assert section.get("Номер") == parsed.doc_number and section.doc_type == parsed.doc_type
    assert quorlane.read_sections(data.decode(reading.statement.encoding)).sections[-1].attributes == \
        reading.sections[-1].attributes  # a str is read as its bytes are


# A header with a repeated key; a document without an amount (a warning); one with a budget key and a key
# given twice.
STATEMENT = statement(document({"Сумма": None}),
                      [*document(doc_type="Банковский ордер")[:-1], "ПоказательКБК=18210301000011000110", "Номер=2a",
                       "КонецДокумента"],
                      header={"ВерсияФормата": "1.03", "РасчСчет": "1", "Отправитель": "x"}).replace(
    "РасчСчет=1", "РасчСчет=40702810900000012345\nРасчСчет=40702810900000054321\n")


def test_repeated_keys_and_dropped_documents():
    reading = quorlane.read_sections(STATEMENT.encode("cp1251"))
    assert reading.header.get_all("РасчСчет") == ["40702810900000012345", "40702810900000054321"]
    assert (reading.header.start_line, reading.header.end_line, reading.header.lines) == (1, 6, (2, 3, 4, 6))
    assert [s.doc_type for s in reading.sections[1:]] == ["Платежное поручение", "Банковский ордер"]
    dropped, kept = reading.sections[1:]
    assert [lineno for lineno, _ in reading.statement.warnings] == [dropped.end_line]
    assert reading.documents == (kept,)
    assert kept.lines == tuple(range(kept.start_line + 1, kept.end_line))
    assert kept.get("Номер") == "2a" == reading.statement.documents[0].doc_number
    assert kept.get_all("Номер") == ["125", "2a"] and kept.get("ПоказательКБК") == "18210301000011000110"
    assert kept.get("Нет") is None and kept.get("Нет", "") == ""
    assert repr(kept) == "<Section document 'Банковский ордер' lines 33-61, 27 attributes>"


@pytest.mark.parametrize("data, error", [(b"", quorlane_py.NotStatementError), (b"abc\n", quorlane_py.NotStatementError),
                                         (STATEMENT[:-12].encode(), quorlane_py.UnfinishedError)])
def test_the_readers_own_errors(data, error):
    with pytest.raises(error):
        quorlane.read_sections(data)


def described(section: quorlane.Section) -> tuple:
    return section.kind, section.doc_type, section.start_line, section.end_line, section.attributes, section.lines


@pytest.mark.parametrize("data", [STATEMENT.encode("cp1251"), STATEMENT,
                                  *[p.read_bytes() for p in READABLE]],
                         ids=["cp1251", "str", *[p.name for p in READABLE]])
def test_an_outline_gives_what_one_reading_gives_a_batch_at_a_time(data):
    reading = quorlane.read_sections(data)
    whole = reading.statement
    for size in (1, 3):
        outline = _accel.read_outline(data, True)
        part = outline.statement
        assert (part.encoding, part.header, part.accounts, part.warnings, part.documents) == (
            whole.encoding, whole.header, whole.accounts, whole.warnings, [])
        assert outline.count == len(whole.documents)
        assert [described(s) for s in outline.sections] == [
            described(s) for s in reading.sections if s.kind != "document" or s not in reading.documents]
        assert outline.keys == tuple(dict.fromkeys(k for s in reading.documents for k, _ in s.attributes))
        batches: list = []
        outline.read_documents(lambda documents, sections: batches.append((documents, sections)), size)
        assert all(len(documents) == len(sections) <= size for documents, sections in batches)
        assert [d for documents, _ in batches for d in documents] == whole.documents
        assert [described(s) for _, sections in batches for s in sections] == [described(s) for s in reading.documents]
    plain = _accel.read_outline(data, False)
    assert (plain.sections, plain.keys, plain.count) == (None, (), len(whole.documents))
    batches = []
    plain.read_documents(lambda documents, sections: batches.append((documents, sections)), 2)
    assert [d for documents, _ in batches for d in documents] == whole.documents
    assert {sections for _, sections in batches} <= {None}


def test_an_exception_in_a_batch_ends_the_batches():
    data = statement(*[document({"Номер": str(n)}) for n in range(10)]).encode("utf-8")
    outline = _accel.read_outline(data, True)
    taken = []

    def take(documents: list, sections: tuple) -> None:
        taken.append(len(documents))
        outline.read_documents(take, 1)  # no second reading while one runs

    with pytest.raises(RuntimeError, match="already running"):
        outline.read_documents(take, 4)
    assert taken == [4]
    with pytest.raises(quorlane_py.ParseError):  # nothing is read of a refused statement
        _accel.read_outline(data[:-20], True)
