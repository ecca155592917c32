"""A statement that cannot be read raises exactly one of the module's exceptions: each of the reader's failures
mapped once, with its class, message and detail. Which line fails in which context is the reader's grammar,
which the core's tables test; a failing hook is in test_hooks.py."""

import builtins

import pytest

import quorlane_py as q
from conftest import ACCOUNT_NUMBER, HEADER, PYPY, account, document, lineno, statement

TEXT = statement(account(), document())


def raised(text, hooks=None):
    with pytest.raises(q.ParseError) as info:
        q.parse(text, hooks)
    exc = info.value
    assert exc.__cause__ is None and exc.__context__ is None and not exc.__suppress_context__
    assert exc.args == (str(exc),)
    exc.__traceback__ = None  # no frame cycle keeps the exception alive after the test
    return exc


@pytest.mark.parametrize(
    "text, cls, message",
    [
        (b"", q.NotStatementError, "Input is not a 1C statement"),
        ("", q.NotStatementError, "Input is not a 1C statement"),
        ("hello\n", q.NotStatementError, "Input is not a 1C statement"),
        ("\ufeff" + TEXT, q.NotStatementError, "Input is not a 1C statement"),  # a str's mark is its first character
        (statement(account(), document()[:-1], end=False), q.UnfinishedError, "Statement is not finished"),
    ],
    ids=["empty bytes", "empty str", "other text", "str with a byte order mark", "unfinished"],
)
def test_errors_without_detail(text, cls, message):
    exc = raised(text)
    assert type(exc) is cls and str(exc) == message
    with pytest.raises(AttributeError):
        exc.detail


@pytest.mark.parametrize(
    "text, line, detail, message",
    [
        (TEXT.rstrip("\n") + "\r", "КонецФайла\r", (q.UnrecognizedLine, "КонецФайла\r"),
         "Unrecognized line: 'КонецФайла\r'"),
        (statement(document()[:-1] + document(doc_type="Чек")), "СекцияДокумент=Чек",
         (q.UnexpectedSection, "СекцияДокумент=Чек", "document"),
         "Unexpected section 'СекцияДокумент=Чек' in context 'document'"),
        (statement(account(), ["Лишний=it's"], document()), "Лишний=it's", (q.UnexpectedAttribute, "Лишний", "it's"),
         "Unexpected attribute 'Лишний' = 'it's'"),
        (statement(account({"РасчСчет": None})), "КонецРасчСчет", (q.MissingField, "РасчСчет", "account"),
         "Missing field 'РасчСчет' in context 'account'"),
        (statement(account({"НачальныйОстаток": None})), "КонецРасчСчет",
         (q.AccountParseError, "missing field `НачальныйОстаток`"),
         "Account parse error: missing field `НачальныйОстаток`"),
    ],
    ids=["UnrecognizedLine", "UnexpectedSection", "UnexpectedAttribute", "MissingField", "AccountParseError"],
)
def test_syntax_errors_carry_their_detail(text, line, detail, message):
    exc = raised(text)
    assert type(exc) is q.SyntaxError and str(exc) == message
    cls, *texts = detail
    assert type(exc.detail) is cls
    assert exc.detail.__getnewargs__() == (lineno(text, line), *texts)
    assert all(type(value) is str for value in exc.detail.__getnewargs__()[1:])


def test_a_failed_document_is_a_warning_not_an_error():
    text = statement(account(), document({"Сумма": "abc", "Номер": None}))
    st = q.parse(text)
    assert st.documents == [] and list(st.accounts) == [ACCOUNT_NUMBER] and st.header == HEADER
    assert st.warnings == [
        (lineno(text, "КонецДокумента"),
         'invalid value: string "abc", expected a Decimal type representing a fixed-point number')
    ]


def test_no_chaining_when_raised_inside_a_handler():
    outer = KeyError("outer")
    try:
        raise outer
    except KeyError:
        with pytest.raises(q.NotStatementError) as info:
            q.parse(b"")
    # PyPy itself chains every exception that reaches a frame while another is handled there.
    assert info.value.__context__ is (outer if PYPY else None) and info.value.__cause__ is None


def test_rebinding_module_attributes_changes_nothing(monkeypatch):
    original = q.SyntaxError
    monkeypatch.setattr(q, "SyntaxError", builtins.SyntaxError)
    monkeypatch.setattr(q, "UnrecognizedLine", None)
    exc = raised(TEXT + "мусор\n")
    assert type(exc) is original
    assert type(exc.detail).__name__ == "UnrecognizedLine"
