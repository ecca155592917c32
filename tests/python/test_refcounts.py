import gc
import os
import sys

import pytest

import quorlane_py
from conftest import account, document, statement

TEXT = statement(account(), document(), document({"Дата": ""}))
CASES = {
    "str": TEXT,
    "bytes": TEXT.encode("utf-8"),
    "cp1251": TEXT.encode("cp1251"),
    "not-statement": b"nothing",
    "unfinished": statement(account(), end=False),
    "syntax": statement(),
}
CLASSES = [
    quorlane_py.Statement, quorlane_py.Account, quorlane_py.Document, quorlane_py.Interval,
    quorlane_py.SectionType, quorlane_py.SyntaxError, quorlane_py.HookError,
]


def run(statement_arg, hooks=None):
    try:
        st = quorlane_py.parse(statement_arg, hooks)
    except (quorlane_py.ParseError, TypeError):
        return
    # Touch everything, so that every getter and repr runs.
    repr(st)
    for acc in st.accounts.values():
        repr(acc), [repr(i) for i in acc.intervals], [getattr(i, "total_income") for i in acc.intervals]
    for doc in st.documents:
        repr(doc), doc.purpose, doc.amount, doc.outcome_date, doc == doc


def counts(*objects):
    return [sys.getrefcount(o) for o in objects]


@pytest.mark.needs("getrefcount")
@pytest.mark.parametrize("name", CASES)
@pytest.mark.parametrize("with_hooks", [False, True])
def test_input_hooks_and_classes_keep_their_counts(name, with_hooks):
    statement_arg = CASES[name]

    def hook(section_type, attrs, header):
        attrs["Номер"] = attrs.get("Номер", "x")

    hooks = [hook, hook] if with_hooks else None
    watched = [statement_arg, hook, *CLASSES] + ([hooks] if with_hooks else [])  # None's count moves anyway
    run(statement_arg, hooks)  # warm up caches
    gc.collect()
    before = counts(*watched)
    for _ in range(50):
        run(statement_arg, hooks)
    gc.collect()
    assert counts(*watched) == before


@pytest.mark.needs("getrefcount")
@pytest.mark.parametrize(
    "hooks",
    [
        [lambda *a: 1 / 0],
        [lambda t, a, h: a.__setitem__("k", 1)],
        [1],
        "not a list",
        {1},
    ],
    ids=["raises", "bad-value", "not-callable", "str", "set"],
)
def test_failing_hooks_keep_counts(hooks):
    statement_arg = TEXT.encode()
    items = list(hooks) if isinstance(hooks, list) else []
    run(statement_arg, hooks)
    gc.collect()
    before = counts(statement_arg, hooks, *items)
    for _ in range(50):
        run(statement_arg, hooks)
    gc.collect()
    assert counts(statement_arg, hooks, *items) == before


@pytest.mark.needs("getrefcount")
def test_bad_statement_types_keep_counts():
    objects = [bytearray(b"x"), object(), 12345678901234567890, "\udc80" + "x"]
    before = counts(*objects)
    for _ in range(50):
        for obj in objects:
            with pytest.raises(TypeError):
                quorlane_py.parse(obj)
    del obj
    assert counts(*objects) == before


@pytest.mark.needs("getrefcount")
def test_result_parts_are_released():
    import weakref

    class Marker(dict):
        pass

    st = quorlane_py.parse(TEXT)
    docs = st.documents
    assert sys.getrefcount(docs) == 3  # the statement, `docs` and the call's argument
    del st
    assert sys.getrefcount(docs) == 2
    holder = Marker()
    probe = weakref.ref(holder)
    docs.append(holder)
    del docs, holder
    assert probe() is None


def rss_kib():
    with open(f"/proc/{os.getpid()}/statm") as f:
        return int(f.read().split()[1]) * os.sysconf("SC_PAGE_SIZE") // 1024


@pytest.mark.skipif(not os.path.exists("/proc/self/statm"), reason="needs /proc")
@pytest.mark.needs("memory freed at once")
@pytest.mark.skipif("asan" in os.environ.get("LD_PRELOAD", ""), reason="the sanitizer's quarantine holds freed memory")
def test_memory_stays_flat_over_many_calls():
    big = statement(account(), *[document({"Номер": str(i)}) for i in range(200)]).encode("cp1251")
    bad = statement(account(), *[document() for _ in range(50)])

    def once():
        run(big)
        run(bad, [lambda t, a, h: a.update(x="y")])
        run(bad, [lambda *a: 1 / 0])
        run(b"garbage")

    for _ in range(30):
        once()
    gc.collect()
    start = rss_kib()
    for _ in range(300):
        once()
    gc.collect()
    assert rss_kib() - start < 2048
