"""quorlane.convert: the statement's own text, every line kept, in another encoding or with other line ends."""

from __future__ import annotations

from pathlib import Path

import pytest
from hypothesis import assume, given, settings
from hypothesis import strategies as st

import quorlane
import quorlane_py
from quorlane.text_conversion import write_converted

REAL = sorted((Path(__file__).parent.parent / "data" / "real").glob("*.txt"))


def reads(data: bytes | str) -> bool:
    try:
        quorlane_py.parse(data)
    except quorlane_py.ParseError:
        return False
    return True


READABLE = [path for path in REAL if reads(path.read_bytes())]


def text_of(data: bytes) -> str:
    """The statement's text as the reader decodes it, with line feeds for line ends."""
    return quorlane.convert(data, "utf-8", "\n").decode("utf-8")


def contents(data: bytes | str) -> dict:
    """What the statement holds, whatever it is written in."""
    held = quorlane.to_dict(quorlane_py.parse(data))
    del held["encoding"]
    return held


def assert_round_trip(data: bytes | str) -> None:
    source = contents(data)
    original = quorlane.convert(data, "utf-8", "\n")
    for encoding in ("utf-8", "cp1251"):
        for newline in ("\r\n", "\n"):
            converted = quorlane.convert(data, encoding, newline)
            assert contents(converted) == source
            assert quorlane.convert(converted, "utf-8", "\n") == original
            if newline == "\r\n":
                assert b"\n" not in converted.replace(b"\r\n", b"")


@pytest.mark.parametrize("path", READABLE, ids=lambda p: p.name)
def test_real_statements_convert_both_ways_and_back(path):
    data = path.read_bytes()
    try:
        assert_round_trip(data)
    except quorlane.WriteError as error:  # a real file with a character windows-1251 lacks: refused, never lost
        assert "cannot be encoded in cp1251" in error.message


def test_every_line_is_kept():
    data = READABLE[0].read_bytes()
    text = text_of(data)
    assert text.count("\n") == data.count(b"\n")
    assert text.splitlines() == data.decode(quorlane_py.parse(data).encoding).replace("\r\n", "\n").splitlines()


LINE = st.one_of(
    st.sampled_from(["", "Ключ=значение", "Ключ=", "=значение", "Номер=1", "Номер=2", "X=a=b", "Кодировка=DOS",
                     "Ключ=\r", "Ключ=a\rb", "Ключ=\t «»—№", "  "]),
    st.builds(lambda k, v: f"{k}={v}", st.text("АБВabc", min_size=1, max_size=4),
              st.text(st.characters(blacklist_categories=("Cs",), blacklist_characters="\n"), max_size=6)))


@st.composite
def statements(draw: st.DrawFn) -> str:
    """Statements with unknown and repeated keys, blank lines and any characters, ended by LF or CRLF."""
    lines = ["1CClientBankExchange", *draw(st.lists(LINE, max_size=4)), "СекцияДокумент=Платежное поручение",
             *draw(st.lists(LINE, max_size=6)), "Номер=1", "Дата=01.01.2024", "Сумма=1.00", "КонецДокумента",
             "КонецФайла", *draw(st.lists(st.just(""), max_size=2))]
    end = draw(st.sampled_from(["\n", "\r\n"]))
    return end.join(lines) + draw(st.sampled_from(["", end]))


@settings(max_examples=150, deadline=None)
@given(statements(), st.sampled_from(["utf-8", "cp1251"]))
def test_generated_statements_convert_and_back(text, encoding):
    try:
        data = text.encode(encoding)
    except UnicodeEncodeError:
        data = text.encode("utf-8")
    assume(reads(data))  # windows-1251 made mostly of control characters is no statement to the reader
    try:
        assert_round_trip(data)
        assert_round_trip(text)
    except quorlane.WriteError as error:
        if error.line is None:  # windows-1251 text the reader would take for something else: refused, not lost
            assert "would not be read back as a statement" in error.message
            return
        line = text.replace("\r\n", "\n").split("\n")[error.line - 1]
        if error.message.startswith("the line ends with a carriage return"):
            assert line.endswith("\r") and error.column == len(line)
        else:
            assert line[error.column - 1].encode("cp1251", "ignore") == b""


HEAD = "1CClientBankExchange\r\nВерсияФормата=1.03\r\n"
TAIL = "СекцияДокумент=Платежное поручение\r\nНомер=1\r\nДата=01.01.2024\r\nСумма=1\r\nКонецДокумента\r\nКонецФайла\r\n"


@pytest.mark.parametrize("text, encoding, newline, line, column, message", [
    (HEAD + "Отправитель=Ā\r\n" + TAIL, "cp1251", "\r\n", 3, 13, '"Ā" (U+0100) at column 13 cannot be encoded in cp1251'),
    (HEAD + TAIL.replace("Номер=1", "Номер=№ 1 😀"), "cp1251", "\n", 4, 11, "(U+1F600) at column 11"),
    (HEAD + "Отправитель=x\r\r\n" + TAIL, "utf-8", "\n", 3, 14, "the line ends with a carriage return (column 14)"),
])
def test_what_the_target_cannot_keep_is_refused_with_its_place(text, encoding, newline, line, column, message):
    with pytest.raises(quorlane.WriteError) as raised:
        quorlane.convert(text.encode("utf-8"), encoding, newline)
    assert (raised.value.line, raised.value.column, raised.value.section) == (line, column, f"line {line}")
    assert message in raised.value.message


def test_not_a_statement_raises_the_readers_own_error_with_its_diagnosis():
    with pytest.raises(quorlane_py.NotStatementError) as raised:
        quorlane.convert(b"hello\r\n", "utf-8")
    assert raised.value.diagnosis == quorlane.diagnose(b"hello\r\n", raised.value) == \
        'its first line is "hello", not 1CClientBankExchange'
    assert raised.value.__notes__ == [raised.value.diagnosis]


def test_windows_1251_that_the_reader_would_not_take_is_refused():
    symbols = HEAD + "Отправитель=" + "«»—" * 20 + "\r\n" + TAIL  # characters the reader finds unlikely in a statement
    assert quorlane_py.parse(quorlane.convert(symbols, "utf-8"))
    with pytest.raises(quorlane.WriteError, match="would not be read back as a statement"):
        quorlane.convert(symbols, "cp1251")


def test_the_encoding_line_stays_as_written():
    data = (HEAD.replace("1.03", "1.03\r\nКодировка=Windows") + TAIL).encode("utf-8")
    assert "Кодировка=Windows\r\n".encode("cp1251") in quorlane.convert(data, "cp1251")
    assert quorlane.convert(data) == data  # the input's own encoding by default


def test_the_text_written_in_pieces_is_the_text_returned():
    # Text given as a str of characters that take three bytes of UTF-8 each asks for more room than its size
    # foretells; the text in pieces is written a MiB at a time.
    wide = HEAD + "Отправитель=" + "€" * 400_000 + "\r\n" + TAIL
    big = HEAD + ("Отправитель=" + "x" * 100 + "\r\n") * 30_000 + TAIL
    for data in (wide, wide.encode("utf-8"), big.encode("cp1251"), *(path.read_bytes() for path in READABLE[:3])):
        for encoding, newline in (("utf-8", "\n"), (None, "\r\n")):
            pieces: list[bytes] = []
            write_converted(data, pieces.append, encoding, newline)
            assert b"".join(pieces) == quorlane.convert(data, encoding, newline)
            assert len(pieces) == 1 or all(len(piece) <= 2**20 for piece in pieces[:-1])
    pieces = []
    with pytest.raises(quorlane.WriteError, match="cannot be encoded"):  # found where it is, after some pieces
        write_converted(big.replace("Номер=1", "Номер=😀"), pieces.append, "cp1251")
    assert pieces

    def full(piece: bytes) -> None:
        pieces.append(piece)
        raise OSError(28, "No space left on device")

    pieces = []
    with pytest.raises(OSError, match="No space"):
        write_converted(big.encode("cp1251"), full, "utf-8")
    assert len(pieces) == 1  # the conversion stopped at the first failure
