"""A statement that cannot be read raises exactly one of the module's exceptions, with its detail."""

import builtins

import pytest

import quorlane_py as q
from conftest import PYPY


HEAD = "1CClientBankExchange\nВерсияФормата=1.03\n"


def fail(statement, hooks=None):
    with pytest.raises(q.ParseError) as info:
        q.parse(statement, hooks)
    return info.value


@pytest.mark.parametrize(
    ("statement", "cls", "message"),
    [
        (b"", q.NotStatementError, "Input is not a 1C statement"),
        ("", q.NotStatementError, "Input is not a 1C statement"),
        ("Not a statement\n", q.NotStatementError, "Input is not a 1C statement"),
        (HEAD, q.UnfinishedError, "Statement is not finished"),
        (HEAD + "СекцияРасчСчет\nДатаНачала=01.01.2024\n", q.UnfinishedError, "Statement is not finished"),
    ],
)
def test_errors_without_detail(statement, cls, message):
    error = fail(statement)
    assert type(error) is cls
    assert error.args == (message,) and str(error) == message
    with pytest.raises(AttributeError):
        error.detail
    assert error.__cause__ is None and error.__context__ is None


@pytest.mark.parametrize(
    ("statement", "message", "detail"),
    [
        (HEAD + "\n  \nABC\n", "Unrecognized line: 'ABC'", "UnrecognizedLine(lineno=5, line=\"ABC\")"),
        (
            HEAD + "КонецФайла\n",
            "Unexpected section 'КонецФайла' in context 'header'",
            "UnexpectedSection(lineno=3, found=\"КонецФайла\", context=\"header\")",
        ),
        (
            HEAD + "СекцияДокумент=Платёжное поручение\nКонецДокумента\nКлюч='x\"\n",
            "Unexpected attribute 'Ключ' = ''x\"'",
            "UnexpectedAttribute(lineno=5, key=\"Ключ\", value=\"'x\\\"\")",
        ),
        (
            HEAD + "СекцияДокумент=Т\nСекцияРасчСчет\n",
            "Unexpected section 'СекцияРасчСчет' in context 'document'",
            "UnexpectedSection(lineno=4, found=\"СекцияРасчСчет\", context=\"document\")",
        ),
    ],
)
def test_syntax_errors_carry_their_detail(statement, message, detail):
    error = fail(statement)
    assert type(error) is q.SyntaxError
    assert error.args == (message,)
    assert repr(error.detail) == detail
    assert error.__cause__ is None and error.__context__ is None


def test_detail_texts_are_plain_str():
    detail = fail(HEAD + "КонецФайла\n").detail
    assert type(detail) is q.UnexpectedSection
    assert (detail.lineno, detail.found, detail.context) == (3, "КонецФайла", "header")
    assert type(detail.context) is str


@pytest.mark.parametrize(
    ("section", "message", "detail"),
    [
        (
            "РасчСчет=40702810000000000001\n",
            "Account parse error: missing field `ДатаНачала`",
            "AccountParseError(lineno=5, message=\"missing field `ДатаНачала`\")",
        ),
        (
            "ДатаНачала=01.01.2024\nНачальныйОстаток=0\n",
            "Missing field 'РасчСчет' in context 'account'",
            "MissingField(lineno=6, field=\"РасчСчет\", context=\"account\")",
        ),
    ],
)
def test_account_section_errors(section, message, detail):
    error = fail(HEAD + "СекцияРасчСчет\n" + section + "КонецРасчСчет\nКонецФайла\n")
    assert type(error) is q.SyntaxError
    assert error.args == (message,)
    assert repr(error.detail) == detail


DOCUMENT = HEAD + "СекцияДокумент=Платежное поручение\nНомер=1\nКонецДокумента\nКонецФайла\n"


def test_hook_failure_becomes_syntax_error_with_hook_detail():
    def hook(section_type, attrs, header):
        raise ValueError("bad")

    error = fail(DOCUMENT, [hook])
    assert type(error) is q.SyntaxError
    assert str(error) == "Hook error: ValueError: bad"
    assert type(error.detail) is q.HookError
    assert (error.detail.lineno, error.detail.message) == (5, "ValueError: bad")
    assert error.__cause__ is None and error.__context__ is None


def test_no_chaining_when_raised_inside_a_handler():
    outer = KeyError("outer")
    try:
        raise outer
    except KeyError:
        error = fail(b"")
    # PyPy itself chains every exception that reaches a frame while another is handled there.
    assert error.__context__ is (outer if PYPY else None) and error.__cause__ is None


def test_rebinding_module_attributes_changes_nothing(monkeypatch):
    original = q.SyntaxError
    monkeypatch.setattr(q, "SyntaxError", builtins.SyntaxError)
    monkeypatch.setattr(q, "UnrecognizedLine", None)
    error = fail(HEAD + "ABC\n")
    assert type(error) is original
    assert type(error.detail).__name__ == "UnrecognizedLine"


def test_builtin_syntax_error_handler_does_not_catch():
    with pytest.raises(q.SyntaxError):
        try:
            q.parse(HEAD + "ABC\n")
        except builtins.SyntaxError:
            pytest.fail("caught by the built-in SyntaxError handler")
