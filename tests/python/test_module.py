"""The module as a whole: its docstring and registered names, parse's signature and docstring, the exception
classes, and a second initialisation."""

import builtins
import importlib
import inspect
import pickle
import sys

import pytest

import quorlane_py
from conftest import PYPY

ALL = [
    "Interval", "Account", "Document", "Statement", "SectionType",
    "UnexpectedSection", "UnexpectedAttribute", "UnrecognizedLine", "MissingField",
    "AccountParseError", "DocumentParseError", "HookError", "parse",
    "ParseError", "NotStatementError", "EmptyInputError", "UnfinishedError", "SyntaxError",
]

PARSE_DOC_LINES = [
    "parse(statement, hooks=None)",
    "--",
    "",
    "Парсит выписку 1CClientBankExchange из байтов или строки.",
    "",
    "# Аргументы",
    "",
    "* `statement` - Сырые байты или строка файла выписки (поддерживает кодировки CP1251 и UTF-8)",
    "* `hooks` - Опциональный список callable для модификации секций во время парсинга.",
    "  Сигнатура hook: `(section_type: SectionType, attrs: dict, header: dict) -> None`",
    "  - `section_type`: тип секции (`SectionType.Document` или `SectionType.Account`)",
    "  - attrs: словарь атрибутов секции (можно модифицировать)",
    "  - header: словарь заголовка выписки (только для чтения)",
    "",
    "# Возвращает",
    "",
    "Объект Statement с атрибутами:",
    '- encoding: "cp1251" или "utf-8"',
    "- header: словарь пар ключ-значение заголовка",
    "- accounts: словарь номер счёта -> объект Account",
    "- documents: список объектов Document",
    "- warnings: список кортежей (lineno, message)",
    "",
    "# Ошибки",
    "",
    "* `NotStatementError` - Если входные данные не являются выпиской 1C",
    "* `EmptyInputError` - Если входные данные пусты",
    "* `UnfinishedError` - Если выписка не завершена корректно",
    "* `SyntaxError` - Если в выписке синтаксическая ошибка (включая ошибки hooks)",
    "* `ParseError` - Для прочих ошибок парсинга",
]
EXCEPTIONS = [quorlane_py.ParseError, quorlane_py.NotStatementError, quorlane_py.EmptyInputError,
              quorlane_py.UnfinishedError, quorlane_py.SyntaxError]


def test_module_docstring():
    assert quorlane_py.__doc__ == "Python-модуль для парсинга банковских выписок 1CClientBankExchange."


def test_all_lists_the_registered_names_in_order():
    assert quorlane_py.__all__ == ALL
    assert all(hasattr(quorlane_py, name) for name in ALL)
    assert sorted(name for name in vars(quorlane_py) if not name.startswith("__")) == sorted(ALL)


def test_parse_is_a_builtin_of_this_module():
    parse = quorlane_py.parse
    assert type(parse).__name__ == "builtin_function_or_method"
    assert parse.__name__ == "parse" and parse.__module__ == "quorlane_py"
    assert parse.__text_signature__ == "(statement, hooks=None)"
    assert str(inspect.signature(parse)) == "(statement, hooks=None)"


def test_parse_docstring():
    # The interpreter strips the signature lines from __doc__; the full text is the signature plus the rest.
    assert quorlane_py.parse.__doc__ == "\n".join(PARSE_DOC_LINES[3:])


def test_exception_hierarchy():
    assert quorlane_py.ParseError.__bases__ == (Exception,)
    assert [cls.__bases__ for cls in EXCEPTIONS[1:]] == [(quorlane_py.ParseError,)] * 4
    assert not issubclass(quorlane_py.SyntaxError, builtins.SyntaxError)  # a handler of the built-in one passes


@pytest.mark.parametrize("cls", EXCEPTIONS, ids=lambda c: c.__name__)
def test_exception_classes_are_plain_exceptions(cls):
    assert cls.__module__ == "quorlane_py" and cls.__qualname__ == cls.__name__
    assert cls.__doc__ is None
    error = cls("Statement is not finished")
    assert error.args == ("Statement is not finished",) and str(error) == "Statement is not finished"
    with pytest.raises(AttributeError):
        error.detail
    restored = pickle.loads(pickle.dumps(error))
    assert type(restored) is cls and restored.args == error.args


def test_second_initialisation_gives_the_same_module():
    first = sys.modules.pop("quorlane_py")
    try:
        second = importlib.import_module("quorlane_py")
        if not PYPY:  # PyPy's import makes a new module object from its own copy, initialising nothing again
            assert second is first
        assert second.__all__ == ALL and all(getattr(second, name) is getattr(first, name) for name in ALL)
        assert second.SectionType.Document is first.SectionType.Document
    finally:
        sys.modules["quorlane_py"] = first
