"""The seven error detail classes: construction, attributes, reprs, identity and copying."""

import copy
import gc
import pickle
import sys
import weakref

import pytest

import quorlane_py as q
from conftest import PYPY

# Each class with its parameters after lineno, in constructor order.
CLASSES = [
    (q.UnexpectedSection, ("found", "context")),
    (q.UnexpectedAttribute, ("key", "value")),
    (q.UnrecognizedLine, ("line",)),
    (q.MissingField, ("field", "context")),
    (q.AccountParseError, ("message",)),
    (q.DocumentParseError, ("message",)),
    (q.HookError, ("message",)),
]
IDS = [cls.__name__ for cls, _ in CLASSES]


def sample(cls, texts, lineno=3):
    values = [f"{name} ё" for name in texts]
    return cls(lineno, *values), values


@pytest.mark.parametrize(("cls", "texts"), CLASSES, ids=IDS)
class TestEveryClass:
    def test_attributes_hold_the_constructor_values(self, cls, texts):
        detail, values = sample(cls, texts)
        assert detail.lineno == 3 and type(detail.lineno) is int
        for name, value in zip(texts, values):
            assert getattr(detail, name) == value and type(getattr(detail, name)) is str

    def test_repr_quotes_every_text_in_constructor_order(self, cls, texts):
        detail, values = sample(cls, texts, lineno=12)
        shown = ", ".join(f'{name}="{value}"' for name, value in zip(texts, values))
        assert repr(detail) == f"{cls.__name__}(lineno=12, {shown})"
        assert str(detail) == repr(detail)

    def test_getnewargs_is_the_constructor_arguments(self, cls, texts):
        detail, values = sample(cls, texts)
        assert detail.__getnewargs__() == (3, *values)

    @pytest.mark.parametrize(
        "clone",
        [
            copy.copy,
            copy.deepcopy,
            lambda d: pickle.loads(pickle.dumps(d, 2)),
            lambda d: pickle.loads(pickle.dumps(d, pickle.HIGHEST_PROTOCOL)),
        ],
        ids=["copy", "deepcopy", "pickle-2", "pickle-highest"],
    )
    def test_clone_is_a_new_equal_looking_object(self, cls, texts, clone):
        detail, _ = sample(cls, texts)
        other = clone(detail)
        assert other is not detail and type(other) is cls
        assert repr(other) == repr(detail)

    def test_attributes_are_read_only(self, cls, texts):
        detail, _ = sample(cls, texts)
        for name in ("lineno", *texts):
            with pytest.raises(AttributeError):
                setattr(detail, name, getattr(detail, name))
            with pytest.raises(AttributeError):
                delattr(detail, name)

    def test_no_instance_dict_and_no_other_attributes(self, cls, texts):
        detail, _ = sample(cls, texts)
        assert not hasattr(detail, "__dict__")
        with pytest.raises(AttributeError):
            detail.extra = 1
        if PYPY:  # PyPy can weakly reference every object
            assert weakref.ref(detail)() is detail
        else:
            with pytest.raises(TypeError):  # no weak reference slot either
                weakref.ref(detail)

    def test_equality_and_hash_are_identity(self, cls, texts):
        first, _ = sample(cls, texts)
        second, _ = sample(cls, texts)
        assert first == first and first != second
        assert hash(first) == object.__hash__(first)
        assert len({first, second}) == 2

    def test_class_shape(self, cls, texts):
        assert cls.__module__ == "quorlane_py"
        assert cls.__bases__ == (object,)
        assert cls.__text_signature__ == "(" + ", ".join(("lineno", *texts)) + ")"
        assert not cls.__doc__  # the docstring is the signature and nothing more
        assert getattr(q, cls.__name__) is cls

    @pytest.mark.parametrize("lineno", [0, 1, 2**63, 2**64 - 1, True])
    def test_lineno_range_accepted(self, cls, texts, lineno):
        detail = cls(lineno, *[""] * len(texts))
        assert detail.lineno == int(lineno)
        assert repr(detail).startswith(f"{cls.__name__}(lineno={int(lineno)}, ")

    @pytest.mark.parametrize("lineno", [-1, -(2**70), 2**64, 2**100])
    def test_lineno_out_of_range_is_an_unprefixed_overflow(self, cls, texts, lineno):
        with pytest.raises(OverflowError) as info:
            cls(lineno, *[""] * len(texts))
        assert not str(info.value).startswith("argument")

    @pytest.mark.parametrize(
        ("bad", "type_name"),
        [(2, "int"), (b"x", "bytes"), (None, "NoneType"), (bytearray(b"x"), "bytearray"),
         (type("pkg.Dotted", (), {})(), "pkg.Dotted")],
    )
    def test_non_str_text_is_a_prefixed_type_error(self, cls, texts, bad, type_name):
        for position, name in enumerate(texts):
            values = [""] * len(texts)
            values[position] = bad
            with pytest.raises(TypeError) as info:
                cls(1, *values)
            assert str(info.value) == f"argument '{name}': '{type_name}' object cannot be converted to 'PyString'"


@pytest.mark.parametrize(
    ("bad", "message"),
    [
        ("1", "argument 'lineno': 'str' object cannot be interpreted as an integer"),
        (1.0, "argument 'lineno': 'float' object cannot be interpreted as an integer"),
        (None, "argument 'lineno': 'NoneType' object cannot be interpreted as an integer"),
    ],
)
def test_lineno_must_be_an_integer(bad, message):
    with pytest.raises(TypeError) as info:
        q.HookError(bad, "m")
    assert str(info.value) == message


def test_lineno_through_the_index_protocol():
    class Index:
        def __index__(self):
            return 41

    assert q.HookError(Index(), "m").lineno == 41


def test_str_subclass_is_accepted_and_stored_as_str():
    class Text(str):
        def __str__(self):
            return "changed"

    detail = q.UnrecognizedLine(1, Text("abc"))
    assert detail.line == "abc" and type(detail.line) is str


@pytest.mark.parametrize("text", ["\ud800", "a\udfffb"])
def test_lone_surrogate_is_refused(text):
    with pytest.raises(UnicodeEncodeError):
        q.AccountParseError(1, text)


@pytest.mark.parametrize(
    ("text", "shown"),
    [  # the core's quoting (its own tables hold every case), as a detail's repr shows it
        ('say "hi"', r'"say \"hi\""'),
        ("\0\x07", r'"\0\u{7}"'),
        ("Счёт 'один'", "\"Счёт 'один'\""),
    ],
)
def test_repr_escapes_texts(text, shown):
    assert repr(q.HookError(5, text)) == f"HookError(lineno=5, message={shown})"


def test_repr_example_with_two_texts():
    detail = q.UnexpectedAttribute(7, "Ключ", 'зна"чение')
    assert repr(detail) == 'UnexpectedAttribute(lineno=7, key="Ключ", value="зна\\"чение")'
    assert detail.value == 'зна"чение'


def test_pickle_keeps_texts_exactly():
    detail = q.MissingField(2**64 - 1, "a\nб\"\\", "\u0301")
    restored = pickle.loads(pickle.dumps(detail))
    assert (restored.lineno, restored.field, restored.context) == (2**64 - 1, "a\nб\"\\", "\u0301")



@pytest.mark.needs("getrefcount")
def test_construction_keeps_reference_counts():
    text = "сообщение" * 3
    gc.collect()  # leftovers of earlier tests must not be collected inside the measured loop
    before = (sys.getrefcount(q.HookError), sys.getrefcount(text))
    for _ in range(100):
        detail = q.HookError(1, text)
        detail.__getnewargs__(), repr(detail), copy.copy(detail)
        del detail
        for args in [(1, text, 3), (-1, text), ("1", text), (1, b"x"), (1, "\ud800")]:
            with pytest.raises((TypeError, OverflowError, UnicodeEncodeError)):
                q.HookError(*args)
    assert (sys.getrefcount(q.HookError), sys.getrefcount(text)) == before
