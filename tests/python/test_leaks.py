"""Every way a parse can end (a result, each syntax detail, the other failures, a failing hook, each argument
error) leaves the reference counts of its inputs, hooks and the module's classes unchanged, frees what it made,
and keeps memory flat."""

from __future__ import annotations

import gc
import os
import sys
import weakref

import pytest

import quorlane_py
from conftest import account, document, rss_growth_kib, statement, steady

GOOD = statement(account(), document(), document({"Дата": ""}))  # the second document is a warning
# Each ending of a parse; the statements come as str, UTF-8 and windows-1251 in turn.
ENDINGS = {
    "result": GOOD,
    "result utf-8": GOOD.encode("utf-8"),
    "result cp1251": GOOD.encode("cp1251"),
    "UnexpectedSection": statement(),
    "UnexpectedAttribute": statement(account(), ["ключ=значение"], document()).encode("utf-8"),
    "UnrecognizedLine": statement(account(), ["просто строка"], document()).encode("cp1251"),
    "MissingField": statement(account({"РасчСчет": None}), document()),
    "AccountParseError": statement(account({"НачальныйОстаток": "много"}), document()).encode("cp1251"),
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


def finish(statement_arg, hooks, probes):
    """Parses; reads every part of a result, or keeps a weak reference to the exception. Names the ending."""
    try:
        st = quorlane_py.parse(statement_arg, hooks)
    except quorlane_py.ParseError as error:
        error.__traceback__ = None
        probes.append(weakref.ref(error))
        return type(error.detail if isinstance(error, quorlane_py.SyntaxError) else error).__name__
    repr(st)
    for acc in st.accounts.values():
        repr(acc), [(repr(i), i.total_income) for i in acc.intervals]
    for doc in st.documents:
        repr(doc), doc.purpose, doc.amount, doc.outcome_date, doc == doc
    return "result"


@pytest.mark.needs("getrefcount")
@pytest.mark.parametrize("with_hooks", [False, True], ids=["no hooks", "two hooks"])
@pytest.mark.parametrize("ending", ENDINGS)
def test_every_ending_keeps_counts_and_frees_its_exception(ending, with_hooks):
    statement_arg = ENDINGS[ending]

    def hook(section_type, attrs, header):
        attrs["Номер"] = attrs.get("Номер", "x")

    hooks = [hook, hook] if with_hooks else None
    probes = []
    names = set()
    steady(lambda: names.add(finish(statement_arg, hooks, probes)),
           [statement_arg, hook, *([hooks] if with_hooks else []), *TYPES])
    assert names == {ending.split()[0]}
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
        ((GOOD.encode(), 5), {}),
        ((bytearray(b"x"),), {}),
        ((object(),), {}),
        ((12345678901234567890,), {}),
        (("\udc80" + GOOD,), {}),
    ],
    ids=["missing", "too-many", "twice", "unknown-keyword", "str-hooks", "set-hooks", "bad-iter", "int-hooks",
         "bytearray", "object", "big-int", "lone-surrogate"],
)
def test_argument_errors_keep_counts(args, kwargs):
    watched = [*args, *kwargs.values(), *kwargs, *TYPES]

    def call():
        with pytest.raises((TypeError, ValueError)):
            quorlane_py.parse(*args, **kwargs)

    steady(call, watched)


@pytest.mark.needs("getrefcount")
def test_result_parts_are_released():
    class Marker(dict):
        pass

    st = quorlane_py.parse(GOOD)
    docs = st.documents
    assert sys.getrefcount(docs) == 3  # the statement, `docs` and the call's argument
    del st
    assert sys.getrefcount(docs) == 2
    holder = Marker()
    probe = weakref.ref(holder)
    docs.append(holder)
    del docs, holder
    assert probe() is None


@pytest.mark.skipif(not os.path.exists("/proc/self/statm"), reason="needs /proc")
@pytest.mark.needs("memory freed at once")
@pytest.mark.skipif("asan" in os.environ.get("LD_PRELOAD", ""), reason="the sanitizer's quarantine holds freed memory")
def test_memory_stays_flat_over_every_kind_of_ending():
    padding = [document({"Номер": str(i)}) for i in range(30)]
    inputs = [statement(account(), *padding).encode("cp1251"), statement(account(), *padding, ["плохая строка"]),
              statement(account(), *padding), *ENDINGS.values()]
    hook_lists = [None, [lambda t, a, h: a.update(x="y")], [lambda *a: 1 / 0]]

    def once():
        for arg in inputs:
            for hooks in hook_lists:
                try:
                    quorlane_py.parse(arg, hooks)
                except quorlane_py.ParseError:
                    pass
        for bad in ((), (GOOD, None, 1), (1,), (GOOD, "x")):
            try:
                quorlane_py.parse(*bad)
            except TypeError:
                pass

    assert rss_growth_kib(once, 30, 300) < 2048
