"""Call arguments: the one binder behind parse (the fast-call convention) and the detail classes' constructors
(a tuple and a dict), with the interpreter's messages; the rewording of a failed conversion; and what parse takes
as its statement and its hooks."""

import array
import sys

import pytest

import quorlane_py as q
from conftest import simple_statement

TEXT = simple_statement()


def summary(st):
    """Everything a parse yields, comparable across calls."""
    return (
        st.encoding,
        st.header,
        {number: (acc.number, acc.intervals) for number, acc in st.accounts.items()},
        st.documents,
        st.warnings,
    )


@pytest.mark.parametrize(
    "call",
    [
        lambda p: p(TEXT),
        lambda p: p(statement=TEXT),
        lambda p: p(TEXT, None),
        lambda p: p(TEXT, hooks=None),
        lambda p: p(statement=TEXT, hooks=None),
        lambda p: p(hooks=None, statement=TEXT),
        lambda p: p(TEXT, []),
        lambda p: p(TEXT, ()),
        lambda p: p(TEXT.encode("utf-8")),
    ],
    ids=["positional", "keyword", "none", "kw-none", "kw-both", "kw-reversed", "empty-list", "empty-tuple", "bytes"],
)
def test_equivalent_calls_give_the_same_result(call):
    assert summary(call(q.parse)) == summary(q.parse(TEXT))


def test_a_detail_binds_keywords_in_any_order():
    detail = q.HookError(message="m", lineno=7)
    assert (detail.lineno, detail.message) == (7, "m")


@pytest.mark.parametrize(
    ("call", "args", "kwargs", "message"),
    [
        # too many positional arguments, counted before the keywords are looked at
        (q.parse, (TEXT, None, None), {}, "parse() takes from 1 to 2 positional arguments but 3 were given"),
        (q.UnrecognizedLine, (1, "l", "x"), {"bogus": 1},
         "UnrecognizedLine.__new__() takes 2 positional arguments but 3 were given"),
        # unknown keywords, compared exactly (case, a NUL, any script), and checked before the missing parameters
        (q.parse, (), {"Statement": TEXT}, "parse() got an unexpected keyword argument 'Statement'"),
        (q.parse, (), {"hook": []}, "parse() got an unexpected keyword argument 'hook'"),
        (q.HookError, (1,), {"message\0": "x"}, "HookError.__new__() got an unexpected keyword argument 'message\0'"),
        (q.UnexpectedAttribute, (), {"ключ": "x"},
         "UnexpectedAttribute.__new__() got an unexpected keyword argument 'ключ'"),
        (q.MissingField, (), {"bogus": 1}, "MissingField.__new__() got an unexpected keyword argument 'bogus'"),
        # a keyword repeating a positional argument
        (q.parse, (TEXT,), {"statement": TEXT}, "parse() got multiple values for argument 'statement'"),
        (q.HookError, (1, "m"), {"message": "x"}, "HookError.__new__() got multiple values for argument 'message'"),
        # missing parameters, listed in parameter order
        (q.parse, (), {}, "parse() missing 1 required positional argument: 'statement'"),
        (q.parse, (), {"hooks": []}, "parse() missing 1 required positional argument: 'statement'"),
        (q.HookError, (), {}, "HookError.__new__() missing 2 required positional arguments: 'lineno' and 'message'"),
        (q.MissingField, (), {},
         "MissingField.__new__() missing 3 required positional arguments: 'lineno', 'field', and 'context'"),
        (q.UnexpectedSection, (), {"found": "f"},
         "UnexpectedSection.__new__() missing 2 required positional arguments: 'lineno' and 'context'"),
    ],
)
def test_binding_errors(call, args, kwargs, message):
    with pytest.raises(TypeError) as info:
        call(*args, **kwargs)
    assert type(info.value) is TypeError
    assert str(info.value) == message


def test_binding_is_checked_before_hooks_and_statement():
    with pytest.raises(TypeError) as info:
        q.parse(None, "s", hook=1)
    assert str(info.value) == "parse() got an unexpected keyword argument 'hook'"


class BrokenSequence:
    """A sequence whose iteration fails with the given exception after one item."""

    def __init__(self, exc):
        self.exc = exc

    def __len__(self):
        return 1

    def __getitem__(self, index):
        if index == 0:
            return lambda *a: None
        raise self.exc


def test_a_failed_conversion_is_reworded_with_the_parameter():
    with pytest.raises(TypeError) as info:
        q.parse(TEXT, BrokenSequence(TypeError("no more")))
    assert str(info.value) == "argument 'hooks': no more"


def test_a_reworded_conversion_error_keeps_its_cause():
    cause = ValueError("inner")

    class BadIndex:
        def __index__(self):
            raise TypeError("no index") from cause

    with pytest.raises(TypeError) as info:
        q.HookError(BadIndex(), "m")
    assert type(info.value) is TypeError
    assert str(info.value) == "argument 'lineno': no index"
    assert info.value.__cause__ is cause


class MyTypeError(TypeError):
    pass


@pytest.mark.parametrize("exc", [ValueError("bad item"), KeyboardInterrupt(), OverflowError("big"),
                                 MyTypeError("sub")])
def test_other_conversion_errors_pass_unchanged(exc):
    with pytest.raises(type(exc)) as info:
        q.parse(TEXT, BrokenSequence(exc))
    assert info.value is exc


def gen():
    yield lambda *a: None


@pytest.mark.parametrize(
    "hooks, message",
    [
        ("abc", "argument 'hooks': Can't extract `str` to `Vec`"),
        ({lambda *a: None}, "argument 'hooks': 'set' object cannot be converted to 'Sequence'"),
        ({}, "argument 'hooks': 'dict' object cannot be converted to 'Sequence'"),
        (gen(), "argument 'hooks': 'generator' object cannot be converted to 'Sequence'"),
        (type("pkg.Dotted", (), {})(), "argument 'hooks': 'pkg.Dotted' object cannot be converted to 'Sequence'"),
    ],
    ids=["str", "set", "dict", "generator", "class-made-in-python"],
)
def test_hooks_argument_refused(hooks, message):
    with pytest.raises(TypeError) as info:
        q.parse(TEXT, hooks)
    assert str(info.value) == message


@pytest.mark.parametrize(
    "hooks, statement, expected",
    [
        ({1}, 1, "argument 'hooks': 'set' object cannot be converted to 'Sequence'"),
        ("s", None, "argument 'hooks': Can't extract `str` to `Vec`"),
        (1, bytearray(), "argument 'hooks': 'int' object cannot be converted to 'Sequence'"),
    ],
)
def test_hooks_are_checked_before_statement(hooks, statement, expected):
    with pytest.raises(TypeError) as info:
        q.parse(statement, hooks)
    assert str(info.value) == expected


@pytest.mark.parametrize("length", [ValueError("no len"), 0, 1000, sys.maxsize])
def test_length_is_only_a_hint(length):
    class Seq:
        def __len__(self):
            if isinstance(length, Exception):
                raise length
            return length

        def __getitem__(self, index):
            if index < 2:
                return lambda *a: calls.append(index)
            raise IndexError

    calls = []
    q.parse(TEXT, Seq())
    assert calls == [0, 1, 0, 1]  # two hooks, two sections


def test_hooks_are_taken_at_the_start():
    hooks = []

    def grow(section_type, attrs, header):
        hooks.append(grow)

    hooks.append(grow)
    q.parse(TEXT, hooks)
    assert len(hooks) == 3  # called once per section, the additions did not run


def test_items_are_not_checked_for_being_callable():
    # The file ends inside its only section, so no hook is ever called: the error is the reader's.
    with pytest.raises(q.UnfinishedError):
        q.parse("1CClientBankExchange\nА=1\nСекцияРасчСчет\n", [1, None, "x"])


@pytest.mark.parametrize(
    "statement",
    [
        bytearray(TEXT.encode()),
        memoryview(TEXT.encode()),
        None,
        1,
        array.array("b", b"1C"),
        [TEXT],
        "1CClientBankExchange\n\udc80",
        "\ud800",
    ],
    ids=["bytearray", "memoryview", "None", "int", "array", "list", "lone-surrogate", "only-surrogate"],
)
def test_statement_type_refused(statement):
    with pytest.raises(TypeError) as info:
        q.parse(statement)
    assert str(info.value) == "statement must be bytes or str"
    assert info.value.__context__ is None


class StrSub(str):
    pass


class BytesSub(bytes):
    pass


@pytest.mark.parametrize("wrap", [StrSub, lambda t: BytesSub(t.encode())])
def test_subclasses_read_like_str(wrap):
    assert summary(q.parse(wrap(TEXT))) == summary(q.parse(TEXT))


def test_str_and_its_utf8_bytes_both_report_utf8():
    assert q.parse(TEXT).encoding == "utf-8"
    assert q.parse(TEXT.encode()).encoding == "utf-8"
    assert q.parse(TEXT.encode("cp1251")).encoding == "cp1251"
