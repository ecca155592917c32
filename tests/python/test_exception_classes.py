"""The module's exception classes and its registered names."""

import builtins
import pickle

import pytest

import quorlane_py as q

SUBCLASSES = [q.NotStatementError, q.EmptyInputError, q.UnfinishedError, q.SyntaxError]
ALL = [q.ParseError, *SUBCLASSES]


def test_parse_error_derives_from_exception():
    assert q.ParseError.__bases__ == (Exception,)


@pytest.mark.parametrize("cls", SUBCLASSES, ids=lambda c: c.__name__)
def test_every_other_class_derives_from_parse_error_only(cls):
    assert cls.__bases__ == (q.ParseError,)
    assert [other for other in SUBCLASSES if other is not cls and issubclass(cls, other)] == []


@pytest.mark.parametrize("cls", ALL, ids=lambda c: c.__name__)
def test_names_and_docstring(cls):
    assert cls.__module__ == "quorlane_py"
    assert f"{cls.__module__}.{cls.__qualname__}" == f"quorlane_py.{cls.__name__}"
    assert cls.__doc__ is None
    assert getattr(q, cls.__name__) is cls


def test_syntax_error_is_not_the_builtin_one():
    assert q.SyntaxError is not builtins.SyntaxError
    assert not issubclass(q.SyntaxError, builtins.SyntaxError)
    with pytest.raises(q.ParseError):
        try:
            raise q.SyntaxError("Hook error: x")
        except builtins.SyntaxError:  # must not catch the module's class
            pytest.fail("caught by the built-in SyntaxError handler")


@pytest.mark.parametrize("cls", ALL, ids=lambda c: c.__name__)
def test_instances_behave_like_plain_exceptions(cls):
    error = cls("Statement is not finished")
    assert error.args == ("Statement is not finished",)
    assert str(error) == "Statement is not finished"
    with pytest.raises(AttributeError):
        error.detail
    restored = pickle.loads(pickle.dumps(error))
    assert type(restored) is cls and restored.args == error.args


def test_all_lists_the_errors_after_parse_in_order():
    names = q.__all__
    expected = [
        "SectionType",
        "UnexpectedSection",
        "UnexpectedAttribute",
        "UnrecognizedLine",
        "MissingField",
        "AccountParseError",
        "DocumentParseError",
        "HookError",
        "parse",
        "ParseError",
        "NotStatementError",
        "EmptyInputError",
        "UnfinishedError",
        "SyntaxError",
    ]
    assert names[-len(expected) :] == expected
