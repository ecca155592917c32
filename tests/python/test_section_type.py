"""SectionType, the kind of section a hook is shown."""

import operator

import pytest

import quorlane_py as q

Document = q.SectionType.Document
Account = q.SectionType.Account


def test_class_shape():
    assert q.SectionType.__module__ == "quorlane_py"
    assert q.SectionType.__doc__ == "Тип секции выписки для использования в hooks."
    assert [name for name in vars(q.SectionType) if name in ("Document", "Account")] == ["Document", "Account"]


def test_class_attributes_are_stable_instances():
    assert q.SectionType.Document is Document and q.SectionType.Account is Account
    assert type(Document) is q.SectionType and type(Account) is q.SectionType
    assert Document is not Account


@pytest.mark.parametrize(("member", "number", "text"), [(Document, 0, "SectionType.Document"), (Account, 1, "SectionType.Account")])
def test_int_repr_and_str(member, number, text):
    assert int(member) == number and type(int(member)) is int
    assert repr(member) == text and str(member) == text


def test_equality_by_kind():
    assert Document == Document and Account == Account
    assert Document != Account and not (Document == Account)
    assert not (Document != Document)


@pytest.mark.parametrize("other", [0, 1, "SectionType.Document", None, 0.0])
def test_other_types_are_never_equal(other):
    assert Document != other and not (Document == other)
    assert Account != other and not (Account == other)


@pytest.mark.parametrize("op", [operator.lt, operator.le, operator.gt, operator.ge])
def test_no_ordering(op):
    with pytest.raises(TypeError):
        op(Document, Account)


def test_unhashable():
    with pytest.raises(TypeError):
        hash(Document)
    with pytest.raises(TypeError):
        {Account}


@pytest.mark.parametrize(("args", "kwargs"), [((), {}), ((0,), {}), ((), {"kind": 1})])
def test_no_constructor(args, kwargs):
    with pytest.raises(TypeError) as info:
        q.SectionType(*args, **kwargs)
    assert str(info.value) == "cannot create 'quorlane_py.SectionType' instances"


def test_instances_take_no_attributes():
    with pytest.raises(AttributeError):
        Document.extra = 1
    assert not hasattr(Document, "__dict__")

