"""Large statements read the same whatever their encoding, with or without hooks."""

import sys

import pytest

import quorlane_py
from conftest import account, document, statement


def _large_statement() -> str:
    # Large enough (tens of megabytes) for the reader to give decoded memory back while it goes on.
    purpose = "Оплата по договору поставки, в т.ч. НДС 20% " * 8
    documents = [document({"Номер": str(i), "НазначениеПлатежа": f"{purpose}{i}"}) for i in range(40_000)]
    return statement(account(), *documents, account({"ДатаНачала": "02.01.2024"}))


def _summary(result):
    return (result.header, result.accounts, result.documents, result.warnings)


@pytest.mark.slow
@pytest.mark.parametrize("hooks", [None, [lambda section_type, attrs, header: None]], ids=["no hooks", "hook"])
def test_windows_1251_reads_like_utf8(hooks):
    text = _large_statement()
    cp1251 = quorlane_py.parse(text.encode("cp1251"), hooks=hooks)
    utf8 = quorlane_py.parse(text.encode("utf-8"), hooks=hooks)
    assert (cp1251.encoding, utf8.encoding) == ("cp1251", "utf-8")
    assert len(cp1251.documents) == 40_000
    assert cp1251.documents[-1].purpose.endswith("39999")
    assert _summary(cp1251) == _summary(utf8)


def _outcome(data: bytes, hooks):
    """What a parse gives: the summary of its result, or its exception's class, text and detail line."""
    try:
        return _summary(quorlane_py.parse(data, hooks=hooks))
    except quorlane_py.ParseError as error:
        detail = getattr(error, "detail", None)
        return (type(error).__name__, str(error), getattr(detail, "lineno", None))


# Damage put into a statement of a few megabytes, early or late: without hooks such a statement is read on two
# threads, with a hook on one, and both must end the same way (an unrecognised line anywhere wins).
_DAMAGE = {
    "unrecognised line late": (-3, "мусор"),
    "unrecognised line early": (40, "мусор"),
    "unexpected section early, unrecognised line late": None,
    "failed document late": (-20, "Сумма=1,5"),
    "unexpected attribute after the end": (None, "a=b"),
    "blank lines": (500, "   "),
}


@pytest.mark.parametrize("encoding", ["utf-8", "cp1251"])
@pytest.mark.parametrize("damage", sorted(_DAMAGE))
def test_large_statements_end_alike_with_and_without_hooks(damage, encoding):
    documents = [document({"Номер": str(i), "НазначениеПлатежа": f"Оплата по счету {i}"}) for i in range(6_000)]
    lines = statement(account(), *documents).split("\n")[:-1]
    if damage == "unexpected section early, unrecognised line late":
        lines.insert(10, "КонецФайла")
        lines.insert(len(lines) - 2, "мусор")
    else:
        position, line = _DAMAGE[damage]
        lines.insert(len(lines) if position is None else position, line)
    data = ("\n".join(lines) + "\n").encode(encoding)
    assert len(data) > 2 * 1024 * 1024
    plain = _outcome(data, None)
    assert plain == _outcome(data, [lambda section_type, attrs, header: None])
    if "unrecognised" in damage:
        assert plain[:2] == ("SyntaxError", "Unrecognized line: 'мусор'")
    elif damage == "failed document late":
        assert len(plain[3]) == 1 and len(plain[2]) == 5_999
    elif damage == "unexpected attribute after the end":
        assert plain[0] == "SyntaxError" and plain[2] == len(lines)


def _large_text(extra: str = "", at: int = 40) -> str:
    documents = [document({"Номер": str(i), "НазначениеПлатежа": f"Оплата {i}"}) for i in range(6_000)]
    lines = statement(account(), *documents).split("\n")
    if extra:
        lines.insert(at, extra)
    return "\n".join(lines)


_CYRILLIC = "АБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯабвгдеёжзийклмнопрстуфхцчшщъыьэюя"


@pytest.mark.parametrize(
    ("kind", "size"),
    [("Cyrillic", "small"), ("Cyrillic", "large"), ("with an emoji", "small"), ("with an emoji", "large"),
     ("Latin-1 only", "small")],
)
@pytest.mark.needs("getsizeof")
def test_str_reads_like_its_utf8_and_gets_no_cached_copy(kind, size):
    """A str is read through its UTF-8 form (held one, two or four bytes a character), which is not kept."""
    if kind == "Latin-1 only":  # the keys lose their Cyrillic, so this one ends in a syntax error
        text = statement(document({"НазначениеПлатежа": "caf\xe9 \xa7 1"})).translate({ord(c): "x" for c in _CYRILLIC})
    else:
        text = _large_text() if size == "large" else statement(account(), document())
        if kind == "with an emoji":
            text = text.replace("КонецФайла", "Эмодзи=\U0001F600\nКонецФайла")
    size_before = sys.getsizeof(text)
    outcomes = []
    for statement_arg in (text.encode("utf-8"), text):
        try:
            outcomes.append(_summary(quorlane_py.parse(statement_arg)))
        except quorlane_py.ParseError as error:
            outcomes.append((type(error).__name__, str(error)))
    assert outcomes[0] == outcomes[1]
    assert sys.getsizeof(text) == size_before  # no UTF-8 form was cached in the str


@pytest.mark.parametrize("at", ["early", "after an unrecognised line", "at the end"])
@pytest.mark.parametrize("hooks", [None, "hook"])
def test_large_str_with_a_lone_surrogate_is_refused(at, hooks):
    calls = []
    hook_list = [lambda section_type, attrs, header: calls.append(1)] if hooks else None
    if at == "early":
        text = _large_text("А=\ud800", 5)
    elif at == "after an unrecognised line":
        text = _large_text("мусор", 5) + "\udfff=1\n"
    else:
        text = _large_text() + "\ud800"
    with pytest.raises(TypeError) as info:
        quorlane_py.parse(text, hooks=hook_list)
    assert str(info.value) == "statement must be bytes or str"
    assert info.value.__context__ is None
    assert calls == []
