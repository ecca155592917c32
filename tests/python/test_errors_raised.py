import builtins

import pytest

import quorlane_py
from conftest import ACCOUNT_NUMBER, HEADER, account, document, lineno, statement

TEXT = statement(account(), document())


def raised(text, hooks=None):
    with pytest.raises(quorlane_py.ParseError) as info:
        quorlane_py.parse(text, hooks)
    exc = info.value
    assert exc.__cause__ is None and exc.__context__ is None and not exc.__suppress_context__
    assert exc.args == (str(exc),)
    exc.__traceback__ = None  # no frame cycle keeps the exception alive after the test
    return exc


@pytest.mark.parametrize(
    "text",
    [
        b"",
        "",
        "hello\n",
        "\ufeff" + TEXT,
        TEXT.replace("\n", "\r"),
        " 1CClientBankExchange\n",
        "1cclientbankexchange\n",
        b"\xef\xbb\xbf" + TEXT.encode("cp1251"),
        bytes(range(1, 32)) * 10,
    ],
    ids=["empty-bytes", "empty-str", "other", "bom", "cr-only", "leading-blank", "case", "bom-cp1251", "controls"],
)
def test_not_a_statement(text):
    exc = raised(text)
    assert type(exc) is quorlane_py.NotStatementError
    assert str(exc) == "Input is not a 1C statement"
    with pytest.raises(AttributeError):
        exc.detail


@pytest.mark.parametrize(
    "text",
    [statement(account(), end=False), statement(account(), document()[:-1], end=False), "1CClientBankExchange\n"],
)
def test_unfinished(text):
    exc = raised(text)
    assert type(exc) is quorlane_py.UnfinishedError
    assert str(exc) == "Statement is not finished"
    with pytest.raises(AttributeError):
        exc.detail


def syntax(text, hooks=None):
    exc = raised(text, hooks)
    assert type(exc) is quorlane_py.SyntaxError
    return exc, exc.detail


def test_unrecognized_line():
    text = TEXT.rstrip("\n") + "\r"
    exc, detail = syntax(text)
    assert str(exc) == "Unrecognized line: 'КонецФайла\r'"
    assert type(detail) is quorlane_py.UnrecognizedLine
    assert (detail.lineno, detail.line) == (len(text.split("\n")), "КонецФайла\r")


def test_unrecognized_line_after_the_end():
    text = TEXT + "\n\n  \nКонецФайла \n"
    exc, detail = syntax(text)
    assert str(exc) == "Unrecognized line: 'КонецФайла '"
    assert detail.lineno == len(text.split("\n")) - 1


@pytest.mark.parametrize(
    "text, found, context, line",
    [
        (statement(), "КонецФайла", "header", ("КонецФайла", 1)),
        (TEXT + "КонецФайла\n", "КонецФайла", "finished", ("КонецФайла", 2)),
        (statement(account()[:-1] + account()), "СекцияРасчСчет", "account", ("СекцияРасчСчет", 2)),
        (statement(document()[:-1] + account()), "СекцияРасчСчет", "document", ("СекцияРасчСчет", 1)),
        (statement(account()[:-1] + ["КонецДокумента"]), "КонецДокумента", "account", ("КонецДокумента", 1)),
        (statement(document()[:-1] + document(doc_type="Чек")), "СекцияДокумент=Чек", "document",
         ("СекцияДокумент=Чек", 1)),
        (statement(account(), ["КонецРасчСчет"]), "КонецРасчСчет", "read_next_section", ("КонецРасчСчет", 2)),
        (statement(["КонецДокумента"]), "КонецДокумента", "header", ("КонецДокумента", 1)),
    ],
)
def test_unexpected_section(text, found, context, line):
    exc, detail = syntax(text)
    assert str(exc) == f"Unexpected section '{found}' in context '{context}'"
    assert type(detail) is quorlane_py.UnexpectedSection
    assert (detail.lineno, detail.found, detail.context) == (lineno(text, *line), found, context)
    assert type(detail.context) is str


@pytest.mark.parametrize(
    "text, key, value",
    [
        (statement(account(), ["Лишний=it's"], document()), "Лишний", "it's"),
        (TEXT + "=\n", "", ""),
    ],
)
def test_unexpected_attribute(text, key, value):
    exc, detail = syntax(text)
    assert str(exc) == f"Unexpected attribute '{key}' = '{value}'"
    assert type(detail) is quorlane_py.UnexpectedAttribute
    assert (detail.key, detail.value) == (key, value)
    assert detail.lineno == lineno(text, f"{key}={value}")


def test_missing_account_number():
    text = statement(account({"РасчСчет": None}))
    exc, detail = syntax(text)
    assert str(exc) == "Missing field 'РасчСчет' in context 'account'"
    assert type(detail) is quorlane_py.MissingField
    assert (detail.lineno, detail.field, detail.context) == (lineno(text, "КонецРасчСчет"), "РасчСчет", "account")


@pytest.mark.parametrize(
    "changes, message",
    [
        ({"ДатаНачала": "30.02.2024"}, "input is out of range"),
        ({"НачальныйОстаток": None}, "missing field `НачальныйОстаток`"),
        ({"ВсегоСписано": ""}, 'invalid value: string "", expected a Decimal type representing a fixed-point number'),
    ],
)
def test_account_parse_error(changes, message):
    text = statement(account(), account(changes))
    exc, detail = syntax(text)
    assert str(exc) == "Account parse error: " + message
    assert type(detail) is quorlane_py.AccountParseError
    assert (detail.lineno, detail.message) == (lineno(text, "КонецРасчСчет", 2), message)


def test_hook_error():
    exc, detail = syntax(TEXT, [lambda *a: int("q")])
    assert str(exc) == "Hook error: ValueError: invalid literal for int() with base 10: 'q'"
    assert repr(detail) == (
        "HookError(lineno=%d, message=\"ValueError: invalid literal for int() with base 10: 'q'\")"
        % lineno(TEXT, "КонецРасчСчет")
    )


def test_exception_hierarchy():
    assert issubclass(quorlane_py.SyntaxError, quorlane_py.ParseError)
    assert not issubclass(quorlane_py.SyntaxError, builtins.SyntaxError)
    with pytest.raises(quorlane_py.SyntaxError):
        try:
            quorlane_py.parse(statement())
        except builtins.SyntaxError:  # must not catch the module's own class
            pytest.fail("caught by the built-in SyntaxError")


def test_rebinding_module_attributes_changes_nothing(monkeypatch):
    original = quorlane_py.SyntaxError
    monkeypatch.setattr(quorlane_py, "SyntaxError", ValueError)
    with pytest.raises(original):
        quorlane_py.parse(statement())


def test_a_failed_document_is_a_warning_not_an_error():
    text = statement(account(), document({"Сумма": "abc", "Номер": None}))
    st = quorlane_py.parse(text)
    assert st.documents == [] and list(st.accounts) == [ACCOUNT_NUMBER] and st.header == HEADER
    assert st.warnings == [
        (lineno(text, "КонецДокумента"),
         'invalid value: string "abc", expected a Decimal type representing a fixed-point number')
    ]
