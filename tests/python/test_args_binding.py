"""Binding of call arguments, seen through the constructors of the error detail classes."""

import pytest

import quorlane_py as q


@pytest.mark.parametrize(
    ("cls", "args", "kwargs", "message"),
    [
        # too many positional arguments: every parameter is required, so no "from ... to"
        (q.HookError, (1, "m", "x"), {}, "HookError.__new__() takes 2 positional arguments but 3 were given"),
        (
            q.MissingField,
            (1, "f", "c", "x", "y"),
            {},
            "MissingField.__new__() takes 3 positional arguments but 5 were given",
        ),
        # the count is checked before the keywords
        (
            q.UnrecognizedLine,
            (1, "l", "x"),
            {"bogus": 1},
            "UnrecognizedLine.__new__() takes 2 positional arguments but 3 were given",
        ),
        # unknown keywords: compared exactly, case included
        (q.HookError, (1, "m"), {"Message": "x"}, "HookError.__new__() got an unexpected keyword argument 'Message'"),
        (q.HookError, (1,), {"mesage": "x"}, "HookError.__new__() got an unexpected keyword argument 'mesage'"),
        (q.HookError, (1,), {"message\0": "x"}, "HookError.__new__() got an unexpected keyword argument 'message\0'"),
        (
            q.UnexpectedAttribute,
            (),
            {"ключ": "x"},
            "UnexpectedAttribute.__new__() got an unexpected keyword argument 'ключ'",
        ),
        # a keyword repeating a positional argument
        (q.HookError, (1, "m"), {"message": "x"}, "HookError.__new__() got multiple values for argument 'message'"),
        (q.HookError, (1,), {"lineno": 2}, "HookError.__new__() got multiple values for argument 'lineno'"),
        # keywords are checked before missing parameters
        (q.MissingField, (), {"bogus": 1}, "MissingField.__new__() got an unexpected keyword argument 'bogus'"),
        (q.MissingField, (1,), {"lineno": 1}, "MissingField.__new__() got multiple values for argument 'lineno'"),
        # missing parameters, listed in parameter order
        (q.HookError, (1,), {}, "HookError.__new__() missing 1 required positional argument: 'message'"),
        (
            q.HookError,
            (),
            {},
            "HookError.__new__() missing 2 required positional arguments: 'lineno' and 'message'",
        ),
        (
            q.HookError,
            (),
            {"message": "m"},
            "HookError.__new__() missing 1 required positional argument: 'lineno'",
        ),
        (
            q.MissingField,
            (),
            {},
            "MissingField.__new__() missing 3 required positional arguments: 'lineno', 'field', and 'context'",
        ),
        (
            q.UnexpectedSection,
            (),
            {"found": "f"},
            "UnexpectedSection.__new__() missing 2 required positional arguments: 'lineno' and 'context'",
        ),
        (
            q.UnexpectedAttribute,
            (),
            {"value": "v", "lineno": 1},
            "UnexpectedAttribute.__new__() missing 1 required positional argument: 'key'",
        ),
    ],
)
def test_binding_errors(cls, args, kwargs, message):
    with pytest.raises(TypeError) as info:
        cls(*args, **kwargs)
    assert type(info.value) is TypeError
    assert str(info.value) == message


@pytest.mark.parametrize(
    ("args", "kwargs"),
    [
        ((7, "m"), {}),
        ((7,), {"message": "m"}),
        ((), {"lineno": 7, "message": "m"}),
        ((), {"message": "m", "lineno": 7}),
    ],
)
def test_positional_and_keyword_bind_alike(args, kwargs):
    detail = q.HookError(*args, **kwargs)
    assert (detail.lineno, detail.message) == (7, "m")


def test_conversion_error_is_prefixed_with_the_parameter():
    with pytest.raises(TypeError) as info:
        q.UnexpectedAttribute(1, "k", 2.5)
    assert str(info.value) == "argument 'value': 'float' object cannot be converted to 'PyString'"
    assert info.value.__cause__ is None


def test_conversion_error_keeps_the_cause():
    cause = ValueError("inner")

    class BadIndex:
        def __index__(self):
            raise TypeError("no index") from cause

    with pytest.raises(TypeError) as info:
        q.HookError(BadIndex(), "m")
    assert type(info.value) is TypeError
    assert str(info.value) == "argument 'lineno': no index"
    assert info.value.__cause__ is cause


@pytest.mark.parametrize("error", [ValueError("bad index"), OverflowError("too big"), KeyError("k")])
def test_other_conversion_errors_pass_unchanged(error):
    class BadIndex:
        def __index__(self):
            raise error

    with pytest.raises(type(error)) as info:
        q.HookError(BadIndex(), "m")
    assert info.value is error


def test_type_error_subclass_passes_unchanged():
    class MyTypeError(TypeError):
        pass

    class BadIndex:
        def __index__(self):
            raise MyTypeError("own")

    with pytest.raises(MyTypeError) as info:
        q.HookError(BadIndex(), "m")
    assert str(info.value) == "own"
