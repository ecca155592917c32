"""What the package reads beyond quorlane_py.parse, in every reading function: a statement saved with a byte order
mark (read after it, with a ByteOrderMarkWarning) and one in cp866 whose header declares Кодировка=DOS; and what
it still refuses, with the diagnosis. quorlane_py.parse itself reads none of it differently."""

from __future__ import annotations

import codecs
import pickle
import warnings

import pytest

import quorlane
import quorlane_py
from conftest import account, document, statement

TEXT = statement(account(), document(), document({"Дата": "31.02.2024"}))
DOS = TEXT.replace("Кодировка=Windows", "Кодировка=DOS")
PURPOSE = quorlane_py.parse(TEXT).documents[0].purpose  # Cyrillic, which cp866 must give back
MARK = "begins with a UTF-8 byte order mark: read after it"

# input, then what every reading function gives: the encoding, the ByteOrderMarkWarning's text (None: none), or the
# diagnosis of the NotStatementError it raises; and what quorlane_py.parse gives for the same input.
CASES = {
    "utf-8 with a mark": (codecs.BOM_UTF8 + TEXT.encode(), "utf-8", MARK, "refused"),
    "str with a mark": ("\ufeff" + TEXT, "utf-8", "begins with a byte order mark (U+FEFF): read after it", "refused"),
    "cp866 declared": (DOS.encode("cp866"), "cp866", None, "refused"),
    "cp866 declared, with CR LF": (DOS.replace("\n", "\r\n").encode("cp866"), "cp866", None, "refused"),
    "DOS declared in windows-1251": (DOS.encode("cp1251"), "cp1251", None, "cp1251"),
    "DOS declared in UTF-8": (DOS.encode(), "utf-8", None, "utf-8"),
    "a mark, then windows-1251": (codecs.BOM_UTF8 + TEXT.encode("cp1251"), "begins with a UTF-8 byte order mark, "
                                  "but is not UTF-8 after it: byte 0xC2 at line 2, column 1", None, "refused"),
    "a mark, then no statement": (codecs.BOM_UTF8 + b"hello\n", 'after its byte order mark, its first line is '
                                  '"hello", not 1CClientBankExchange', None, "refused"),
    "cp866 undeclared": (TEXT.encode("cp866"), "not UTF-8 (byte 0x82 at line 2, column 1), and as windows-1251 too "
                         "little of its start is letters, digits, punctuation and blanks", None, "refused"),
    "cp866 declared, not a statement": (("hello\nКодировка=DOS\n" + "д" * 20).encode("cp866"), "not UTF-8 (byte 0x8A "
                                        'at line 2, column 1); read as cp866 (its header declares Кодировка=DOS), its '
                                        'first line is "hello", not 1CClientBankExchange', None, "refused"),
}


def readings(data):
    """What each reading function gives: (encoding, the documents' purposes, the warnings); convert's text, in its
    own encoding, read back."""
    reading = quorlane.read_sections(data).statement
    yield reading.encoding, [d.purpose for d in reading.documents], reading.warnings
    table = quorlane.read_table(data)
    yield table.encoding, None, table.warnings
    again = quorlane.read_sections(quorlane.convert(data)).statement
    yield again.encoding, [d.purpose for d in again.documents], again.warnings


@pytest.mark.parametrize("data, expected, mark, parsed", CASES.values(), ids=CASES.keys())
def test_every_reading_function_reads_what_the_format_allows(data, expected, mark, parsed):
    if expected in ("utf-8", "cp1251", "cp866"):
        with warnings.catch_warnings(record=True) as caught:
            warnings.simplefilter("always")
            for encoding, purposes, dropped in readings(data):
                assert encoding == expected
                assert purposes in (None, [PURPOSE])
                assert dropped == [(lineno_of("КонецДокумента", 2), "input is out of range")]
                assert (dropped[0].key, dropped[0].value) == ("Дата", "31.02.2024")
        said = [str(w.message) for w in caught]
        assert said == ([] if mark is None else [mark, mark, mark + ", and the text written without it"])
        assert all(w.category is quorlane.ByteOrderMarkWarning and w.filename == __file__ for w in caught)
    else:
        for read in (quorlane.read_sections, quorlane.read_table, quorlane.convert):
            with pytest.raises(quorlane_py.NotStatementError) as raised:
                read(data)
            assert raised.value.diagnosis == expected
    try:
        encoding = quorlane_py.parse(data).encoding
    except quorlane_py.NotStatementError:
        encoding = "refused"
    assert encoding == parsed  # quorlane_py.parse reads as it always has


def lineno_of(line: str, occurrence: int) -> int:
    return [n for n, text in enumerate(TEXT.split("\n"), 1) if text == line][occurrence - 1]


def test_a_program_can_refuse_a_marked_statement():
    with warnings.catch_warnings():
        warnings.simplefilter("error", quorlane.ByteOrderMarkWarning)
        with pytest.raises(quorlane.ByteOrderMarkWarning):
            quorlane.read_sections(codecs.BOM_UTF8 + TEXT.encode())


def test_dos_is_written_where_the_header_declares_it():
    dos = DOS.encode("cp866")
    assert quorlane.convert(dos, newline="\n") == dos
    assert quorlane.convert(quorlane.convert(dos, "utf-8"), "ibm866", "\n") == dos  # codecs' names taken
    assert quorlane.convert(dos, "cp1251", "\n") == DOS.encode("cp1251")
    with pytest.raises(quorlane.WriteError) as raised:
        quorlane.convert(TEXT, "cp866")
    assert (raised.value.message, raised.value.line) == (
        "the text in cp866 would be read back as windows-1251: its header does not declare Кодировка=DOS", None)
    with pytest.raises(quorlane.WriteError, match=r'"一" \(U\+4E00\) at column 19 cannot be encoded in cp866'):
        quorlane.convert(DOS.replace("Оплата", "一"), "cp866")


def test_a_dropped_document_is_the_readers_pair_with_its_key_and_value():
    (dropped,) = quorlane.read_sections(TEXT).statement.warnings
    assert dropped == tuple(dropped) == quorlane_py.parse(TEXT).warnings[0] and len(dropped) == 2
    assert (dropped.lineno, dropped.message, str(dropped)) == (
        dropped[0], "input is out of range", 'input is out of range (Дата="31.02.2024")')
    again = pickle.loads(pickle.dumps(dropped))
    assert (again, again.key, again.value, type(again)) == (dropped, "Дата", "31.02.2024", quorlane.DroppedDocument)
    missing = quorlane.read_table(TEXT.replace("Дата=31.02.2024\n", "")).warnings[0]
    assert (missing.key, missing.value, str(missing)) == ("Дата", None, "missing field `Дата`")


def test_the_core_decodes_cp866_as_the_standard_codec_does():
    # The WHATWG index of IBM866 and Python's cp866 agree on every byte.
    assert quorlane._accel.IBM866 == bytes(range(256)).decode("cp866")
