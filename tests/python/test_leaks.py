"""Every way a parse can end, each syntax detail raised by parse and each argument error included, leaves the reference counts of
its inputs, hooks and the module's classes unchanged, frees the exception it raised, and keeps memory flat."""

from __future__ import annotations

import gc
import os
import sys
import weakref

import pytest

import quorlane_py
from conftest import account, document, statement

GOOD = statement(account(), document())
SYNTAX = {
    "UnexpectedSection": statement(),
    "UnexpectedAttribute": statement(account(), ["ключ=значение"], document()),
    "UnrecognizedLine": statement(account(), ["просто строка"], document()),
    "MissingField": statement(account({"РасчСчет": None}), document()),
    "AccountParseError": statement(account({"НачальныйОстаток": "много"}), document()),
}
OTHER_FAILURES = {
    "NotStatementError": b"\xff\xfe\x00\xd8",  # a lone surrogate after a UTF-16 mark
    "UnfinishedError": statement(account(), end=False),
}
TYPES = [
    quorlane_py.Statement, quorlane_py.Account, quorlane_py.Document, quorlane_py.Interval,
    quorlane_py.SectionType, quorlane_py.ParseError, quorlane_py.NotStatementError, quorlane_py.EmptyInputError,
    quorlane_py.UnfinishedError, quorlane_py.SyntaxError, quorlane_py.UnexpectedSection,
    quorlane_py.UnexpectedAttribute, quorlane_py.UnrecognizedLine, quorlane_py.MissingField,
    quorlane_py.AccountParseError, quorlane_py.DocumentParseError, quorlane_py.HookError,
    quorlane_py.SectionType.Document, quorlane_py.SectionType.Account,
]


def counts(objects):
    # Shared singletons and small integers have counts that move with everything else: they are not watched.
    return [sys.getrefcount(o) for o in objects if o is not None and type(o) is not int]


def steady(call, watched, rounds=40):
    """Runs `call` until caches settle, then checks that `rounds` more calls change no watched count."""
    for _ in range(3):
        call()
    gc.collect()
    before = counts(watched)
    for _ in range(rounds):
        call()
    gc.collect()
    after = counts(watched)
    assert after == before


@pytest.mark.needs("getrefcount")
@pytest.mark.parametrize("name", list(SYNTAX))
@pytest.mark.parametrize("form", ["str", "utf-8", "cp1251"])
def test_each_syntax_detail_keeps_counts_and_is_freed(name, form):
    text = SYNTAX[name]
    arg = text if form == "str" else text.encode(form)
    probes = []

    def call():
        with pytest.raises(quorlane_py.SyntaxError) as info:
            quorlane_py.parse(arg)
        exc = info.value
        assert type(exc.detail).__name__ == name
        exc.__traceback__ = None
        probes.append(weakref.ref(exc))
        del exc, info

    steady(call, [arg, *TYPES])
    gc.collect()
    assert all(p() is None for p in probes)


@pytest.mark.needs("getrefcount")
@pytest.mark.parametrize("name", list(OTHER_FAILURES))
def test_other_failures_keep_counts_and_are_freed(name):
    arg = OTHER_FAILURES[name]
    expected = getattr(quorlane_py, name)
    probes = []

    def call():
        with pytest.raises(expected) as info:
            quorlane_py.parse(arg)
        info.value.__traceback__ = None
        probes.append(weakref.ref(info.value))
        del info

    steady(call, [arg, *TYPES])
    gc.collect()
    assert all(p() is None for p in probes)


@pytest.mark.needs("getrefcount")
@pytest.mark.parametrize(
    "action",
    ["raise", "interrupt", "non-str-value", "non-str-key", "delete-number", "not-callable"],
)
def test_hook_failures_keep_counts(action):
    arg = GOOD.encode("cp1251")
    payload = object()

    def hook(section_type, attrs, header):
        if action == "raise":
            raise ValueError(payload)
        if action == "interrupt":
            raise KeyboardInterrupt(payload)
        if action == "non-str-value":
            attrs["Номер"] = payload
        elif action == "non-str-key":
            attrs[payload] = "x"
        elif action == "delete-number":
            attrs.pop("РасчСчет", None)
            attrs.pop("Номер", None)

    hooks = [1] if action == "not-callable" else [hook]

    def call():
        with pytest.raises(quorlane_py.SyntaxError) as info:
            quorlane_py.parse(arg, hooks)
        info.value.__traceback__ = None
        del info

    steady(call, [arg, hooks, hooks[0], payload, *TYPES])


class BadIter(list):
    def __iter__(self):
        raise ValueError("no iteration")


@pytest.mark.needs("getrefcount")
@pytest.mark.parametrize(
    "args, kwargs",
    [
        ((), {}),
        ((GOOD, None, "third"), {}),
        ((GOOD,), {"statement": GOOD}),
        ((GOOD,), {"hook": []}),
        ((GOOD, "hooks"), {}),
        ((GOOD, {print}), {}),
        ((GOOD, BadIter([print])), {}),
        ((bytearray(b"x"),), {}),
        ((GOOD.encode(), 5), {}),
    ],
    ids=["missing", "too-many", "twice", "unknown-keyword", "str-hooks", "set-hooks", "bad-iter", "bytearray",
         "int-hooks"],
)
def test_argument_errors_keep_counts(args, kwargs):
    watched = [*args, *kwargs.values(), *kwargs, *TYPES]

    def call():
        with pytest.raises((TypeError, ValueError)):
            quorlane_py.parse(*args, **kwargs)

    steady(call, watched)


def rss_kib():
    with open(f"/proc/{os.getpid()}/statm") as f:
        return int(f.read().split()[1]) * os.sysconf("SC_PAGE_SIZE") // 1024


@pytest.mark.skipif(not os.path.exists("/proc/self/statm"), reason="needs /proc")
@pytest.mark.needs("memory freed at once")
@pytest.mark.skipif("asan" in os.environ.get("LD_PRELOAD", ""), reason="the sanitizer's quarantine holds freed memory")
def test_memory_stays_flat_over_every_kind_of_ending():
    padding = [document({"Номер": str(i)}) for i in range(30)]
    inputs = [statement(account(), *padding).encode("cp1251"), statement(account(), *padding, ["плохая строка"])]
    inputs += list(SYNTAX.values()) + list(OTHER_FAILURES.values()) + [GOOD, GOOD.encode("cp1251")]

    def once():
        for arg in inputs:
            try:
                quorlane_py.parse(arg, [lambda t, a, h: None])
            except quorlane_py.ParseError:
                pass
        for bad in ((), (GOOD, None, 1), (1,), (GOOD, "x")):
            try:
                quorlane_py.parse(*bad)
            except TypeError:
                pass

    for _ in range(30):
        once()
    gc.collect()
    start = rss_kib()
    for _ in range(400):
        once()
    gc.collect()
    assert rss_kib() - start < 2048
