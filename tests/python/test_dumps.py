"""quorlane.dumps: what it writes reads back equal, in both encodings and with both line ends, whatever the
hooks put into the values; what the format cannot hold is refused with a message that names it."""

from __future__ import annotations

import pytest
from hypothesis import HealthCheck, given, settings
from hypothesis import strategies as st

import quorlane
import quorlane_py
from quorlane import statement_writer
from conftest import account, document, simple_statement, statement

SAFE = "AZaz09 .,-\"'№()/\\=\tАБВЖЯабвжяЁё"
# Characters that some encoding, the strict rules or the reader's line splitting cannot take.
RISKY = ["\n", "\r", "\x0b", "\x0c", "\x1c", "\x85", "\u2028", "\u2029", "\x00", "₽", "\x98", "\u00a0", "«", "€"]
DATES = ["01.03.2024", "1.3.2024", "05.03.2024", "29.02.2024", "01.01.0001", "31.12.9999", "01.01.-0005",
         "01.01.+10000"]
AMOUNTS = ["0", "100", "100.50", "-12.30", ".5", "5.", "1_000.00", "1e2", "1.5E-3"]
TEXT_KEYS = ["Номер", "НазначениеПлатежа", "ВидОплаты", "Очередность", "ПлательщикИНН", "ПлательщикКПП",
             "ПлательщикБИК", "ПлательщикБанк1", "ПлательщикСчет", "Плательщик", "Плательщик1",
             "ПлательщикРасчСчет", "ПлательщикКорсчет", "ПолучательИНН", "Получатель", "ПолучательСчет",
             "ПолучательКПП", "ПолучательБИК", "ПолучательБанк1", "ПолучательРасчСчет", "ПолучательКорсчет"]
OPTIONAL_KEYS = ["ВидОплаты", "Очередность", "ПлательщикКПП", "Плательщик", "Плательщик1", "ПлательщикРасчСчет",
                 "ПлательщикКорсчет", "ДатаСписано", "Получатель", "ПолучательКПП", "ПолучательРасчСчет",
                 "ПолучательКорсчет", "ДатаПоступило"]


def texts(risky: bool) -> st.SearchStrategy[str]:
    alphabet = st.sampled_from(list(SAFE) + (RISKY if risky else []))
    return st.text(alphabet, max_size=8)


@st.composite
def statements(draw: st.DrawFn, risky: bool) -> quorlane_py.Statement:
    """A statement read with hooks that put generated texts into the text values of every section."""
    header_text = texts(risky).map(lambda t: t.replace("\n", " "))
    header = draw(st.dictionaries(st.sampled_from(["ВерсияФормата", "Отправитель", "Получатель", "Ключ", "X"]),
                                  header_text, max_size=4))
    sections = []
    for _ in range(draw(st.integers(0, 4))):  # intervals of a few accounts, often with equal start dates
        changes = {"ДатаНачала": draw(st.sampled_from(DATES[:3])), "НачальныйОстаток": draw(st.sampled_from(AMOUNTS)),
                   "РасчСчет": draw(st.sampled_from(["A", "B"]))}
        for key in ["ДатаКонца", "ВсегоПоступило", "ВсегоСписано", "КонечныйОстаток"]:
            changes[key] = draw(st.sampled_from([None, *(DATES if key == "ДатаКонца" else AMOUNTS)]))
        sections.append(account(changes))
    for _ in range(draw(st.integers(0 if sections else 1, 3))):
        changes = {key: None for key in OPTIONAL_KEYS if draw(st.booleans())}
        for key in ["Дата", "ДатаСписано", "ДатаПоступило"]:
            if key not in changes:
                changes[key] = draw(st.sampled_from(DATES))
        changes["Сумма"] = draw(st.sampled_from(AMOUNTS))
        sections.append(document(changes, doc_type=draw(header_text)))
    values = {"account": draw(texts(risky)), **{key: draw(texts(risky)) for key in TEXT_KEYS}}

    def edit(section_type: quorlane_py.SectionType, attrs: dict[str, str], _header: dict[str, str]) -> None:
        if section_type == quorlane_py.SectionType.Account:
            attrs["РасчСчет"] = attrs["РасчСчет"] + values["account"]
        else:
            for key in TEXT_KEYS:
                if key in attrs:
                    attrs[key] = values[key]

    source = statement(*sections, header=header)
    encoding = draw(st.sampled_from(["utf-8", "cp1251"]))
    data = source.encode("utf-8") if encoding == "utf-8" else source.encode("cp1251", errors="replace")
    try:
        return quorlane_py.parse(data, hooks=[edit])
    except quorlane_py.ParseError:
        return quorlane_py.parse(source, hooks=[edit])


def assert_reads_back(written: quorlane_py.Statement, data: bytes, encoding: str) -> None:
    back = quorlane_py.parse(data)
    assert back.encoding == encoding
    assert list(back.header.items()) == list(written.header.items())
    assert list(back.accounts.items()) == list(written.accounts.items())
    assert back.documents == written.documents
    assert back.warnings == []


def dumps_both_ways(st_: quorlane_py.Statement, **options: object) -> bytes | str:
    """The output (or the error text) of the accelerated writer, checked against the Python writer's."""
    def not_rendered(*_: object) -> bytes:
        raise quorlane._accel.NotRendered

    outcomes = []
    for accelerated in (statement_writer._render_documents, not_rendered):
        saved = statement_writer._render_documents
        statement_writer._render_documents = accelerated
        try:
            outcomes.append(quorlane.dumps(st_, **options))
        except quorlane.WriteError as error:
            outcomes.append(str(error))
        finally:
            statement_writer._render_documents = saved
    assert outcomes[0] == outcomes[1]
    return outcomes[0]


OPTIONS = [{"encoding": e, "newline": n, "exact": x} for e in ("utf-8", "cp1251") for n in ("\r\n", "\n")
           for x in (False, True)]


@settings(max_examples=150, deadline=None, suppress_health_check=[HealthCheck.too_slow])
@given(statements(risky=True))
def test_what_is_written_reads_back_equal(written):
    for options in OPTIONS:
        data = dumps_both_ways(written, **options)
        if isinstance(data, bytes):
            assert_reads_back(written, data, options["encoding"])


@settings(max_examples=60, deadline=None, suppress_health_check=[HealthCheck.too_slow])
@given(statements(risky=False))
def test_plain_values_are_always_written(written):
    for options in OPTIONS:
        data = quorlane.dumps(written, **options)
        assert_reads_back(written, data, options["encoding"])


def test_intervals_of_one_start_date_keep_their_order():
    sections = [account({"НачальныйОстаток": amount}) for amount in ["1", "2", "3", "4"]]
    written = quorlane_py.parse(statement(*sections))
    assert [i.start_amount for i in written.accounts["40702810900000012345"].intervals] == ["2", "3", "4", "1"]
    assert_reads_back(written, quorlane.dumps(written), written.encoding)


def test_windows_1251_is_written_back_byte_for_byte_by_default():
    """Each of the 128 upper bytes (0x98 included) is written back as the byte the reader decoded."""
    lines = "".join(f"{line}\r\n" for line in [*account(), "КонецФайла"]).encode("cp1251")
    data = "1CClientBankExchange\r\nКлюч=".encode("cp1251") + b"a" * 4000 + bytes(range(0x80, 0x100)) + b"\r\n" + lines
    read = quorlane_py.parse(data)
    assert read.encoding == "cp1251"
    assert quorlane.dumps(read) == data


def edited(key: str, value: str, source: str | None = None) -> quorlane_py.Statement:
    def hook(section_type, attrs, _header):
        if key in attrs:
            attrs[key] = value
    return quorlane_py.parse(source or simple_statement(), hooks=[hook])


def changed_header(key: str, value: str = "x") -> quorlane_py.Statement:
    written = quorlane_py.parse(simple_statement())
    written.header[key] = value
    return written


@pytest.mark.parametrize("written, options, message", [
    (edited("НазначениеПлатежа", "abc\nd"), {},
     'document 1: value of "НазначениеПлатежа" contains a line break at position 3; the format has no escaping'),
    (edited("Получатель", "ab\rc"), {},
     'document 1: value of "Получатель" contains "\\r" (U+000D) at position 2, a line break to other readers '
     '(exact=True writes it)'),
    (edited("Номер", "1\x002"), {},
     'document 1: value of "Номер" contains "\\0" (U+0000) at position 1, a text end to other readers '
     '(exact=True writes it)'),
    (edited("НазначениеПлатежа", "За ₽"), {"encoding": "cp1251"},
     'document 1: "₽" (U+20BD) at position 3 in value of "НазначениеПлатежа" cannot be encoded in cp1251'),
    (edited("РасчСчет", "40702\u2028"), {},
     'account "40702\\u{2028}": value of "РасчСчет" contains "\\u{2028}" (U+2028) at position 5, a line break to '
     'other readers (exact=True writes it)'),
    (edited("Получатель", "x\r"), {"exact": True, "newline": "\n"},
     'document 1: value of "Получатель" ends with a carriage return, which the reader drops before a line feed '
     '(newline="\\r\\n" keeps it)'),
    (changed_header("a=b"), {}, 'header: key "a=b" contains "=" at position 1; a key ends at the first "="'),
    (changed_header("СекцияДокумент"), {"exact": True}, 'header: key "СекцияДокумент" would open a document section'),
    (changed_header("КонецФайла"), {},
     'header: key "КонецФайла" is a marker word, which other readers take for the marker (exact=True writes it)'),
    (changed_header(""), {}, "header: empty key, which other readers skip (exact=True writes it)"),
    (changed_header("Кодировка", "\u00a0" * 2000), {"encoding": "cp1251"},
     "statement: the cp1251 output would not be taken for a statement: more than 4 per cent of its first 20480 "
     "characters are neither letters, digits, punctuation nor whitespace; write it in utf-8"),
])
def test_what_the_format_cannot_hold_is_refused(written, options, message):
    with pytest.raises(quorlane.WriteError) as caught:
        dumps_both_ways(written, **options)
        quorlane.dumps(written, **options)
    assert str(caught.value) == message
    assert isinstance(caught.value, ValueError)


def test_exact_writes_what_only_other_readers_refuse():
    for written in [changed_header("КонецФайла"), changed_header(""), edited("Получатель", "a\rb\x00\u2028c\r")]:
        assert_reads_back(written, quorlane.dumps(written, exact=True), written.encoding)


def test_statements_that_cannot_be_written():
    written = quorlane_py.parse(statement(document({"Сумма": "x"})))  # its one document became a warning
    with pytest.raises(quorlane.WriteError, match="^statement: a statement needs at least one account or document "
                       "section$"):
        quorlane.dumps(written)
    written = quorlane_py.parse(simple_statement())
    written.accounts["other"] = written.accounts.pop("40702810900000012345")
    with pytest.raises(quorlane.WriteError, match='^account "other": the account is filed under "other" but its '
                       'number is "40702810900000012345"; it would be read back under its number$'):
        quorlane.dumps(written)
    written = quorlane_py.parse(simple_statement())
    written.documents.append("not a document")
    with pytest.raises(TypeError, match="documents must be a list of quorlane_py.Document"):
        quorlane.dumps(written)
    with pytest.raises(ValueError, match="encoding must be"):
        quorlane.dumps(quorlane_py.parse(simple_statement()), encoding="cp866")


def test_dump_writes_to_a_binary_file(tmp_path):
    written = quorlane_py.parse(simple_statement())
    with open(tmp_path / "out.txt", "wb") as out:
        quorlane.dump(written, out, encoding="cp1251")
    assert (tmp_path / "out.txt").read_bytes() == quorlane.dumps(written, encoding="cp1251")


def test_a_getter_that_empties_the_documents_while_they_are_written(monkeypatch):
    """The writer holds the documents it was given: a replaced attribute may run any code."""
    written = quorlane_py.parse(statement(account(), document(), document({"Номер": "2"})))
    expected = quorlane.dumps(written)
    purpose = quorlane_py.Document.purpose

    def emptying(doc):
        written.documents.clear()
        return purpose.__get__(doc)

    try:
        quorlane_py.Document.purpose = purpose  # as it is: only whether the class takes attributes
    except TypeError:  # an interpreter whose classes made in C take none (PyPy)
        pytest.skip("the class takes no new attributes here")
    monkeypatch.setattr(quorlane_py.Document, "purpose", property(emptying))
    assert quorlane.dumps(written) == expected
