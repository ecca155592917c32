import array
import sys

import pytest

import quorlane_py
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
    assert summary(call(quorlane_py.parse)) == summary(quorlane_py.parse(TEXT))


@pytest.mark.parametrize(
    "args, kwargs, message",
    [
        ((), {}, "parse() missing 1 required positional argument: 'statement'"),
        ((TEXT, None, None), {}, "parse() takes from 1 to 2 positional arguments but 3 were given"),
        ((TEXT, None, None, None), {}, "parse() takes from 1 to 2 positional arguments but 4 were given"),
        ((TEXT,), {"statement": TEXT}, "parse() got multiple values for argument 'statement'"),
        ((TEXT, None), {"hooks": None}, "parse() got multiple values for argument 'hooks'"),
        ((TEXT,), {"hook": []}, "parse() got an unexpected keyword argument 'hook'"),
        ((), {"hook": []}, "parse() got an unexpected keyword argument 'hook'"),
        ((), {"Statement": TEXT}, "parse() got an unexpected keyword argument 'Statement'"),
        ((), {"hooks": []}, "parse() missing 1 required positional argument: 'statement'"),
    ],
)
def test_binding_errors(args, kwargs, message):
    with pytest.raises(TypeError) as info:
        quorlane_py.parse(*args, **kwargs)
    assert str(info.value) == message
    assert type(info.value) is TypeError


def gen():
    yield lambda *a: None


@pytest.mark.parametrize(
    "hooks, message",
    [
        ("abc", "argument 'hooks': Can't extract `str` to `Vec`"),
        ("", "argument 'hooks': Can't extract `str` to `Vec`"),
        ({lambda *a: None}, "argument 'hooks': 'set' object cannot be converted to 'Sequence'"),
        ({}, "argument 'hooks': 'dict' object cannot be converted to 'Sequence'"),
        (1, "argument 'hooks': 'int' object cannot be converted to 'Sequence'"),
        (gen(), "argument 'hooks': 'generator' object cannot be converted to 'Sequence'"),
        (frozenset(), "argument 'hooks': 'frozenset' object cannot be converted to 'Sequence'"),
        (type("pkg.Dotted", (), {})(), "argument 'hooks': 'pkg.Dotted' object cannot be converted to 'Sequence'"),
    ],
    ids=["str", "empty-str", "set", "dict", "int", "generator", "frozenset", "class-made-in-python"],
)
def test_hooks_argument_refused(hooks, message):
    with pytest.raises(TypeError) as info:
        quorlane_py.parse(TEXT, hooks)
    assert str(info.value) == message


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


def test_iteration_type_error_gets_the_hooks_prefix():
    with pytest.raises(TypeError) as info:
        quorlane_py.parse(TEXT, BrokenSequence(TypeError("no more")))
    assert str(info.value) == "argument 'hooks': no more"


def test_iteration_type_error_keeps_its_cause():
    cause = KeyError("root")
    exc = TypeError("no more")
    exc.__cause__ = cause
    with pytest.raises(TypeError) as info:
        quorlane_py.parse(TEXT, BrokenSequence(exc))
    assert info.value.__cause__ is cause


@pytest.mark.parametrize("exc", [ValueError("bad item"), KeyboardInterrupt(), OverflowError("big")])
def test_iteration_other_errors_pass_unchanged(exc):
    with pytest.raises(type(exc)) as info:
        quorlane_py.parse(TEXT, BrokenSequence(exc))
    assert info.value is exc


class MyTypeError(TypeError):
    pass


def test_iteration_type_error_subclass_is_not_wrapped():
    exc = MyTypeError("sub")
    with pytest.raises(MyTypeError) as info:
        quorlane_py.parse(TEXT, BrokenSequence(exc))
    assert info.value is exc


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
    quorlane_py.parse(TEXT, Seq())
    assert calls == [0, 1, 0, 1]  # two hooks, two sections


def test_hooks_are_taken_at_the_start():
    hooks = []

    def grow(section_type, attrs, header):
        hooks.append(grow)

    hooks.append(grow)
    quorlane_py.parse(TEXT, hooks)
    assert len(hooks) == 3  # called once per section, the additions did not run


def test_items_are_not_checked_for_being_callable():
    # The file ends inside its only section, so no hook is ever called: the error is the reader's.
    with pytest.raises(quorlane_py.UnfinishedError):
        quorlane_py.parse("1CClientBankExchange\nА=1\nСекцияРасчСчет\n", [1, None, "x"])


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
        quorlane_py.parse(statement)
    assert str(info.value) == "statement must be bytes or str"
    assert info.value.__context__ is None


class StrSub(str):
    pass


class BytesSub(bytes):
    pass


@pytest.mark.parametrize("wrap", [StrSub, lambda t: BytesSub(t.encode()), lambda t: t.encode("utf-8")])
def test_subclasses_and_bytes_read_like_str(wrap):
    assert summary(quorlane_py.parse(wrap(TEXT))) == summary(quorlane_py.parse(TEXT))


def test_str_and_its_utf8_bytes_both_report_utf8():
    assert quorlane_py.parse(TEXT).encoding == "utf-8"
    assert quorlane_py.parse(TEXT.encode()).encoding == "utf-8"
    assert quorlane_py.parse(TEXT.encode("cp1251")).encoding == "cp1251"


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
        quorlane_py.parse(statement, hooks)
    assert str(info.value) == expected


def test_binding_is_checked_before_hooks_and_statement():
    with pytest.raises(TypeError) as info:
        quorlane_py.parse(None, "s", hook=1)
    assert str(info.value) == "parse() got an unexpected keyword argument 'hook'"
