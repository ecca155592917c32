"""parse called from several threads at once gives exactly what sequential calls give, with and without hooks,
for successes and failures alike."""

from __future__ import annotations

import threading
from concurrent.futures import ThreadPoolExecutor
from pathlib import Path

import pytest

import quorlane_py
from conftest import account, document, statement

REAL = sorted((Path(__file__).resolve().parents[1] / "data" / "real").glob("*.txt"))

INPUTS = [
    statement(account(), document()),
    statement(account(), *[document({"Номер": str(i)}) for i in range(40)]).encode("cp1251"),
    statement(account(), document({"Дата": ""})).encode("utf-8"),
    statement(account(), end=False),  # unfinished
    statement(),  # syntax error
    statement(document({"Сумма": "много"})),
    b"not a statement",
    b"",
    *(p.read_bytes() for p in REAL),
]


def renumber(section_type, attrs, header):
    if section_type == quorlane_py.SectionType.Document:
        attrs["Номер"] = attrs.get("Номер", "") + "-h"


def drop_purpose(section_type, attrs, header):
    attrs.pop("НазначениеПлатежа", None)


def raising(section_type, attrs, header):
    raise ValueError("stop")


def switching(section_type, attrs, header):
    # Gives other threads a chance to run in the middle of a parse.
    threading.Event().wait(0.0001)
    attrs["extra"] = "1"


HOOK_SETS = [None, [renumber], [switching, renumber], [drop_purpose], [raising]]


def summary(statement_arg, hooks):
    try:
        st = quorlane_py.parse(statement_arg, hooks)
    except quorlane_py.SyntaxError as exc:
        return ("syntax", str(exc), type(exc.detail).__name__, exc.detail.__getnewargs__())
    except quorlane_py.ParseError as exc:
        return (type(exc).__name__, str(exc))
    return ("ok", repr(st), st.encoding, st.header, st.accounts, st.documents, st.warnings)


CASES = [(i, h) for i in range(len(INPUTS)) for h in range(len(HOOK_SETS))]


@pytest.fixture(scope="module")
def expected():
    return {case: summary(INPUTS[case[0]], HOOK_SETS[case[1]]) for case in CASES}


@pytest.mark.parametrize("workers", [2, 8])
def test_concurrent_calls_match_sequential_ones(expected, workers):
    jobs = CASES * 6
    with ThreadPoolExecutor(max_workers=workers) as pool:
        results = list(pool.map(lambda case: (case, summary(INPUTS[case[0]], HOOK_SETS[case[1]])), jobs))
    assert len(results) == len(jobs)
    for case, result in results:
        assert result == expected[case], case
    assert {r[0] for r in expected.values()} >= {"ok", "syntax", "NotStatementError", "UnfinishedError"}


def test_threads_started_together_share_nothing(expected):
    """All threads wait at a barrier, then parse the same inputs in different orders."""
    count = 6
    barrier = threading.Barrier(count)
    failures = []

    def worker(offset):
        barrier.wait()
        order = CASES[offset:] + CASES[:offset]
        for case in order:
            result = summary(INPUTS[case[0]], HOOK_SETS[case[1]])
            if result != expected[case]:
                failures.append((case, result))

    threads = [threading.Thread(target=worker, args=(k * 7,)) for k in range(count)]
    for t in threads:
        t.start()
    for t in threads:
        t.join(timeout=120)
    assert not any(t.is_alive() for t in threads)
    assert failures == []


def test_hooks_see_their_own_sections_under_contention():
    """Each thread's hook records what it saw; no thread sees another thread's sections."""
    texts = {k: statement(account(), *[document({"Номер": f"{k}-{i}"}) for i in range(20)]) for k in range(6)}
    seen: dict[int, list[str]] = {k: [] for k in texts}

    def run(k):
        def hook(section_type, attrs, header):
            if section_type == quorlane_py.SectionType.Document:
                seen[k].append(attrs["Номер"])
                threading.Event().wait(0.0001)

        return [d.doc_number for d in quorlane_py.parse(texts[k], [hook]).documents]

    with ThreadPoolExecutor(max_workers=6) as pool:
        numbers = dict(zip(texts, pool.map(run, texts)))
    for k in texts:
        want = [f"{k}-{i}" for i in range(20)]
        assert seen[k] == want and numbers[k] == want
