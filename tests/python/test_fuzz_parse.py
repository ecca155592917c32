"""Property tests: parse is driven with generated statements, mutated real statements and misbehaving hooks, and
whatever the input, it returns a well-formed Statement or raises exactly one of the module's exceptions."""

from __future__ import annotations

import os
import re
from pathlib import Path

import pytest
from hypothesis import HealthCheck, given, settings
from hypothesis import strategies as st

import quorlane_py
from conftest import ACCOUNT, DOCUMENT, DOCUMENT_TYPE, HEADER

REAL = sorted(p for p in (Path(__file__).resolve().parents[1] / "data" / "real").glob("*.txt"))
REAL_BYTES = [p.read_bytes() for p in REAL]

# QUORLANE_FUZZ_EXAMPLES raises the number of examples of the main properties for longer runs.
FAST = settings(max_examples=int(os.environ.get("QUORLANE_FUZZ_EXAMPLES", "300")), deadline=None,
                suppress_health_check=[HealthCheck.too_slow])

DATE = re.compile(r"\d{4}-\d{2}-\d{2}\Z")
AMOUNT = re.compile(r"-?\d+(\.\d+)?\Z")
DETAILS = (
    quorlane_py.UnexpectedSection, quorlane_py.UnexpectedAttribute, quorlane_py.UnrecognizedLine,
    quorlane_py.MissingField, quorlane_py.AccountParseError, quorlane_py.DocumentParseError,
    quorlane_py.HookError,
)
EXCEPTIONS = (
    quorlane_py.NotStatementError, quorlane_py.EmptyInputError, quorlane_py.UnfinishedError,
    quorlane_py.SyntaxError,
)
DOC_REQUIRED = (
    "doc_number", "doc_type", "doc_date", "amount", "purpose", "counterparty_inn", "counterparty_bic",
    "counterparty_bank1", "counterparty_account", "payee_inn", "payee_account", "payee_bic", "payee_bank1",
)
DOC_OPTIONAL = (
    "payment_type", "ordering", "counterparty_kpp", "counterparty", "counterparty_1", "counterparty_ras_account",
    "counterparty_cor_account", "outcome_date", "payee", "payee_kpp", "payee_ras_account", "payee_cor_account",
    "income_date",
)
DOC_DATES = ("doc_date", "outcome_date", "income_date")
INTERVAL_FIELDS = ("date_start", "date_end", "start_amount", "end_amount", "total_income", "total_expense")


# ---------------------------------------------------------------------------------------------------------------
# Checking one outcome


def line_bound(statement_arg) -> int:
    data = statement_arg.encode("utf-8", "surrogatepass") if isinstance(statement_arg, str) else statement_arg
    return data.count(b"\n") + 1


def check_statement(result) -> tuple:
    """Reads every attribute and repr of a result, checks their shape, and returns a comparable summary."""
    assert type(result) is quorlane_py.Statement
    assert isinstance(repr(result), str)
    assert result.encoding in ("utf-8", "cp1251")
    header = result.header
    assert type(header) is dict and all(type(k) is str and type(v) is str for k, v in header.items())
    warnings = result.warnings
    assert type(warnings) is list
    for item in warnings:
        assert type(item) is tuple and len(item) == 2
        assert type(item[0]) is int and item[0] >= 1 and type(item[1]) is str
    assert [w[0] for w in warnings] == sorted(w[0] for w in warnings)
    accounts = result.accounts
    assert type(accounts) is dict
    for number, acc in accounts.items():
        assert type(acc) is quorlane_py.Account and acc.number == number and type(number) is str
        assert isinstance(repr(acc), str) and acc == acc
        starts = []
        for interval in acc.intervals:
            assert type(interval) is quorlane_py.Interval and isinstance(repr(interval), str)
            assert interval == interval
            assert type(interval.date_start) is str and DATE.match(interval.date_start)
            assert type(interval.start_amount) is str and AMOUNT.match(interval.start_amount)
            assert interval.date_end is None or DATE.match(interval.date_end)
            for name in ("end_amount", "total_income", "total_expense"):
                value = getattr(interval, name)
                assert value is None or (type(value) is str and AMOUNT.match(value)), (name, value)
            starts.append(interval.date_start)
        assert starts == sorted(starts)
    documents = result.documents
    assert type(documents) is list
    for doc in documents:
        assert type(doc) is quorlane_py.Document and isinstance(repr(doc), str) and doc == doc
        for name in DOC_REQUIRED:
            assert type(getattr(doc, name)) is str, name
        for name in DOC_OPTIONAL:
            value = getattr(doc, name)
            assert value is None or type(value) is str, name
        for name in DOC_DATES:
            value = getattr(doc, name)
            assert value is None or DATE.match(value), (name, value)
        assert AMOUNT.match(doc.amount), doc.amount
    return (
        "ok", result.encoding, header, warnings,
        [(n, [tuple(getattr(i, f) for f in INTERVAL_FIELDS) for i in a.intervals]) for n, a in accounts.items()],
        [tuple(getattr(d, f) for f in DOC_REQUIRED + DOC_OPTIONAL) for d in documents],
    )


def check_error(exc, statement_arg) -> tuple:
    assert type(exc) in EXCEPTIONS, type(exc)
    assert isinstance(exc, quorlane_py.ParseError)
    text = str(exc)
    assert isinstance(repr(exc), str) and text
    if type(exc) is quorlane_py.SyntaxError:
        detail = exc.detail
        assert type(detail) in DETAILS
        assert isinstance(repr(detail), str)
        assert 1 <= detail.lineno <= line_bound(statement_arg), (detail, line_bound(statement_arg))
        return ("err", type(exc).__name__, text, type(detail).__name__, detail.__getnewargs__())
    return ("err", type(exc).__name__, text)


def outcome(statement_arg, hooks=None) -> tuple:
    """Parses once; any exception other than the module's own fails the test."""
    try:
        result = quorlane_py.parse(statement_arg, hooks)
    except quorlane_py.ParseError as exc:
        return check_error(exc, statement_arg)
    return check_statement(result)


def check_everything(statement_arg, hooks=None) -> tuple:
    first = outcome(statement_arg, hooks)
    assert outcome(statement_arg, hooks) == first
    return first


# ---------------------------------------------------------------------------------------------------------------
# Generated statements

DATES = st.one_of(
    st.sampled_from(["01.03.2024", "07.03.2024", "29.02.2024", "30.02.2024", "32.01.2024", "1.1.2000", "", " ",
                     "2024-03-01", "07.03.24", "31.12.9999", "00.00.0000", "07. 03. 2024"]),
    st.builds(lambda d, m, y: f"{d:02}.{m:02}.{y:04}", st.integers(0, 32), st.integers(0, 13), st.integers(0, 9999)),
)
AMOUNTS = st.one_of(
    st.sampled_from(["0", "0.00", "12000.00", "-5", "1e5", "1,5", " 1", "1 ", "", "abc", ".5", "5.", "+3",
                     "99999999999999999999999999999.99", "0.000000000000000000000000001"]),
    st.decimals(allow_nan=False, allow_infinity=False).map(str),
)
# Characters that windows-1251 holds, but `exclude`. PyPy's codec also encodes U+FFFE, which it uses to mark 0x98
# as unmapped.
def cp1251_characters(exclude: str) -> st.SearchStrategy[str]:
    return st.characters(codec="cp1251", exclude_characters=exclude + "\ufffe")


TEXT = st.text(cp1251_characters("\n"), max_size=12)
VALUES = st.one_of(DATES, AMOUNTS, TEXT, st.sampled_from(list(DOCUMENT.values()) + list(ACCOUNT.values())))
KEYS = st.one_of(
    st.sampled_from(sorted(set(HEADER) | set(ACCOUNT) | set(DOCUMENT))),
    TEXT.filter(lambda k: "=" not in k),
)


def pairs_from(base: dict[str, str]):
    """The base pairs, with keys dropped or changed, and random pairs added."""
    keys = sorted(base)
    return st.tuples(
        st.just([]) | st.lists(st.sampled_from(keys), unique=True, max_size=len(base)),
        st.just({}) | st.dictionaries(st.sampled_from(keys), VALUES, max_size=4),
        st.just([]) | st.lists(st.tuples(KEYS, VALUES), max_size=3),
    ).map(lambda t: [f"{k}={t[1].get(k, base[k])}" for k in base if k not in t[0]] + [f"{k}={v}" for k, v in t[2]])


BLANKS = st.sampled_from(["", " ", "\t", "\u00a0", "\r"])
MARKERS = st.sampled_from(["1CClientBankExchange", "СекцияРасчСчет", "КонецРасчСчет", "КонецДокумента",
                           "КонецФайла", "СекцияДокумент=" + DOCUMENT_TYPE, "СекцияДокумент", "КонецФайла "])
ACCOUNT_SECTION = st.tuples(pairs_from(ACCOUNT), st.integers(0, 9).map(bool)).map(
    lambda t: ["СекцияРасчСчет", *t[0]] + (["КонецРасчСчет"] if t[1] else []))
DOCUMENT_SECTION = st.tuples(st.sampled_from([DOCUMENT_TYPE, "", "Банковский ордер"]), pairs_from(DOCUMENT),
                             st.integers(0, 9).map(bool)).map(
    lambda t: [f"СекцияДокумент={t[0]}", *t[1]] + (["КонецДокумента"] if t[2] else []))


@st.composite
def statements(draw):
    lines = [draw(st.sampled_from(["1CClientBankExchange"] * 8 + ["\ufeff1CClientBankExchange", "1CClient"]))]
    lines += draw(pairs_from(HEADER))
    for section in draw(st.lists(st.one_of(ACCOUNT_SECTION, DOCUMENT_SECTION), max_size=4)):
        lines += section
    if draw(st.integers(0, 9)):
        lines.append("КонецФайла")
    for _ in range(draw(st.sampled_from([0, 0, 0, 1, 2, 3]))):  # stray markers, blank lines and pairs anywhere
        extra = draw(st.one_of(MARKERS, BLANKS, st.tuples(KEYS, VALUES).map("=".join), TEXT))
        lines.insert(draw(st.integers(1, len(lines))), extra)
    if draw(st.integers(0, 5)) == 0 and len(lines) > 2:  # two lines swapped
        i, j = draw(st.integers(1, len(lines) - 1)), draw(st.integers(1, len(lines) - 1))
        lines[i], lines[j] = lines[j], lines[i]
    newline = draw(st.sampled_from(["\n", "\r\n"]))
    text = newline.join(lines) + draw(st.sampled_from([newline, "", newline * 2]))
    form = draw(st.sampled_from(["str", "utf-8", "cp1251"]))
    if form == "str":
        return text
    return text.encode(form, "replace")


@FAST
@given(statements())
def test_generated_statements(statement_arg):
    result = check_everything(statement_arg)
    if isinstance(statement_arg, str):  # a str reads as its UTF-8 encoding
        assert outcome(statement_arg.encode("utf-8")) == result


@settings(max_examples=40, deadline=None)
@given(statements())
def test_str_and_utf8_bytes_agree(statement_arg):
    text = statement_arg if isinstance(statement_arg, str) else statement_arg.decode("cp1251", "replace")
    assert outcome(text) == outcome(text.encode("utf-8"))


VALID_DATES = st.dates(min_value=__import__("datetime").date(1990, 1, 1), max_value=__import__("datetime").date(2099, 12, 31))
VALID_AMOUNTS = st.decimals(min_value=0, max_value=10**12, places=2, allow_nan=False, allow_infinity=False)


@st.composite
def valid_statements(draw):
    """Well-formed statements whose values vary: they must all parse, with every section in the result."""
    numbers = draw(st.lists(st.from_regex(r"40702810[0-9]{12}", fullmatch=True), min_size=1, max_size=3, unique=True))
    lines = ["1CClientBankExchange", *(f"{k}={v}" for k, v in HEADER.items())]
    expected_docs = []
    for _ in range(draw(st.integers(1, 4))):  # a statement needs at least one section
        if draw(st.booleans()):
            start = draw(VALID_DATES)
            attrs = dict(ACCOUNT, РасчСчет=draw(st.sampled_from(numbers)), ДатаНачала=start.strftime("%d.%m.%Y"),
                         НачальныйОстаток=str(draw(VALID_AMOUNTS)))
            lines += ["СекцияРасчСчет", *(f"{k}={v}" for k, v in attrs.items()), "КонецРасчСчет"]
        else:
            date = draw(VALID_DATES)
            amount = draw(VALID_AMOUNTS)
            number = draw(st.text(cp1251_characters("\r\n"), min_size=1, max_size=8))
            attrs = dict(DOCUMENT, Дата=date.strftime("%d.%m.%Y"), Сумма=str(amount), Номер=number)
            lines += ["СекцияДокумент=" + DOCUMENT_TYPE, *(f"{k}={v}" for k, v in attrs.items()), "КонецДокумента"]
            expected_docs.append((number, date.isoformat()))
    lines.append("КонецФайла")
    for _ in range(draw(st.integers(0, 3))):
        lines.insert(draw(st.integers(1, len(lines))), draw(BLANKS.filter(lambda b: b != "\r")))
    newline = draw(st.sampled_from(["\n", "\r\n"]))
    text = newline.join(lines) + newline
    form = draw(st.sampled_from(["str", "utf-8", "cp1251"]))
    return (text if form == "str" else text.encode(form)), expected_docs


@FAST
@given(valid_statements())
def test_valid_statements_keep_every_section(case):
    statement_arg, expected_docs = case
    result = check_everything(statement_arg)
    assert result[0] == "ok", result
    assert [(d[0], d[2]) for d in result[5]] == expected_docs
    assert result[1] == ("utf-8" if isinstance(statement_arg, str) or not _is_cp1251(statement_arg) else "cp1251")


def _is_cp1251(data: bytes) -> bool:
    try:
        data.decode("utf-8")
    except UnicodeDecodeError:
        return True
    return False


# ---------------------------------------------------------------------------------------------------------------
# Mutated real statements


@st.composite
def mutated(draw):
    data = bytearray(draw(st.sampled_from(REAL_BYTES)))
    for _ in range(draw(st.integers(1, 6))):
        kind = draw(st.integers(0, 4))
        pos = draw(st.integers(0, max(len(data) - 1, 0)))
        if kind == 0 and data:  # flip a byte
            data[pos] = draw(st.integers(0, 255))
        elif kind == 1:  # insert bytes
            data[pos:pos] = draw(st.binary(max_size=8))
        elif kind == 2:  # delete a run
            del data[pos:pos + draw(st.integers(1, 64))]
        elif kind == 3:  # duplicate a run of lines
            end = data.find(b"\n", pos + draw(st.integers(0, 200)))
            data[pos:pos] = data[pos:end if end >= 0 else len(data)]
        else:  # cut the tail
            del data[pos:]
    return bytes(data)


@pytest.mark.parametrize("path", REAL, ids=[p.name for p in REAL])
def test_real_statements_parse_cleanly(path):
    check_everything(path.read_bytes())


@FAST
@given(mutated())
def test_mutated_real_statements(data):
    check_everything(data)


@settings(max_examples=60, deadline=None)
@given(st.sampled_from(REAL_BYTES), st.sampled_from([b"\xef\xbb\xbf", b"\xff\xfe", b"\xfe\xff", b""]),
       st.sampled_from(["utf-16-le", "utf-16-be", "keep"]))
def test_byte_order_marks_and_wide_encodings(data, bom, wide):
    if wide != "keep":
        try:
            data = data.decode("utf-8").encode(wide)
        except UnicodeDecodeError:
            data = data.decode("cp1251").encode(wide)
    check_everything(bom + data)


# ---------------------------------------------------------------------------------------------------------------
# Hooks


class Interrupt(BaseException):
    pass


def make_hook(action, key, value):
    def hook(section_type, attrs, header):
        assert section_type in (quorlane_py.SectionType.Document, quorlane_py.SectionType.Account)
        assert type(attrs) is dict and type(header) is dict
        if action == "noop":
            return None
        if action == "set":
            attrs[key] = value
        elif action == "delete":
            attrs.pop(key, None)
        elif action == "clear":
            attrs.clear()
        elif action == "header":
            header[key] = value
            header.clear()
        elif action == "non-str-value":
            attrs[key] = 12
        elif action == "non-str-key":
            attrs[(key,)] = value
        elif action == "bytes-value":
            attrs[key] = value.encode()
        elif action == "str-subclass":
            attrs[key] = type("S", (str,), {})(value)
        elif action == "raise":
            raise ValueError(value)
        elif action == "interrupt":
            raise KeyboardInterrupt
        elif action == "base":
            raise Interrupt(value)
        elif action == "exit":
            raise SystemExit(3)
        elif action == "return":
            return value
        return None
    return hook


HOOK_ACTIONS = ["noop", "set", "delete", "clear", "header", "non-str-value", "non-str-key", "bytes-value",
                "str-subclass", "raise", "interrupt", "base", "exit", "return"]
HOOKS = st.lists(
    st.builds(make_hook, st.sampled_from(HOOK_ACTIONS), KEYS, VALUES) | st.sampled_from([1, None, "f"]),
    max_size=3,
)
STATEMENTS_FOR_HOOKS = st.one_of(statements(), st.sampled_from(REAL_BYTES))


@FAST
@given(STATEMENTS_FOR_HOOKS, HOOKS)
def test_hooks_never_escape(statement_arg, hooks):
    check_everything(statement_arg, hooks)


@settings(max_examples=80, deadline=None)
@given(STATEMENTS_FOR_HOOKS, st.integers(1, 3))
def test_noop_hooks_change_nothing(statement_arg, count):
    seen = []

    def noop(section_type, attrs, header):
        seen.append(section_type)

    assert outcome(statement_arg, [noop] * count) == outcome(statement_arg)
    assert outcome(statement_arg, ()) == outcome(statement_arg)


@settings(max_examples=60, deadline=None)
@given(STATEMENTS_FOR_HOOKS, st.sampled_from(["interrupt", "base", "exit", "raise"]))
def test_raising_hooks_become_hook_errors(statement_arg, action):
    calls = []

    def counting(section_type, attrs, header):
        calls.append(section_type)

    plain = outcome(statement_arg, [counting])
    raising = [make_hook(action, "k", "v")]
    if not calls:  # no section reached a hook: the raising hook changes nothing
        assert outcome(statement_arg, raising) == plain
        return
    with pytest.raises(quorlane_py.SyntaxError) as info:
        quorlane_py.parse(statement_arg, raising)
    assert type(info.value.detail) is quorlane_py.HookError
    check_error(info.value, statement_arg)


# ---------------------------------------------------------------------------------------------------------------
# Arguments


ODD_ARGUMENTS = st.one_of(
    st.none(), st.integers(), st.floats(), st.binary().map(bytearray), st.binary().map(memoryview),
    st.lists(st.binary(max_size=4), max_size=2), st.just("\udc80"), st.just(object()),
)


@settings(max_examples=60, deadline=None)
@given(ODD_ARGUMENTS)
def test_bad_statement_types_only_raise_type_error(statement_arg):
    with pytest.raises(TypeError, match="statement must be bytes or str"):
        quorlane_py.parse(statement_arg)


@settings(max_examples=60, deadline=None)
@given(st.one_of(st.text(), st.integers(), st.sets(st.integers(), max_size=2), st.dictionaries(st.text(), st.text()),
                 st.just(iter([])), st.floats()))
def test_bad_hook_containers_only_raise_type_error(hooks):
    with pytest.raises(TypeError, match="^argument 'hooks': "):
        quorlane_py.parse(b"1CClientBankExchange\n", hooks)


# ---------------------------------------------------------------------------------------------------------------
# Large windows-1251 input: the reader gives the decoded text back behind it as it goes, which hooks must not see


@pytest.mark.slow
def test_large_cp1251_with_editing_hooks_reads_like_utf8():
    from conftest import account, document, statement

    purpose = "Оплата по договору поставки, в т.ч. НДС 20% " * 10
    sections = [document({"Номер": str(i), "НазначениеПлатежа": f"{purpose}{i}"}) for i in range(25_000)]
    text = statement(account(), *sections[:12_000], account({"ДатаНачала": "02.01.2024"}), *sections[12_000:])
    seen_headers = []
    kept = []

    def editing(section_type, attrs, header):
        seen_headers.append(header["Отправитель"])
        kept.append(attrs)
        if section_type == quorlane_py.SectionType.Document:
            number = int(attrs["Номер"])
            if number % 3 == 0:
                attrs["НазначениеПлатежа"] = attrs["НазначениеПлатежа"][-5:]
            elif number % 3 == 1:
                del attrs["ПлательщикКПП"]
        else:
            attrs["ВсегоСписано"] = attrs["ДатаНачала"][:2]

    results = {}
    for form in ("cp1251", "utf-8"):
        seen_headers.clear()
        kept.clear()
        results[form] = outcome(text.encode(form), [editing])
        assert set(seen_headers) == {HEADER["Отправитель"]}
        assert [a["Номер"] for a in kept if "Номер" in a][-1] == "24999"
        assert kept[0]["РасчСчет"] == ACCOUNT["РасчСчет"]
    cp1251, utf8 = results["cp1251"], results["utf-8"]
    assert cp1251[0] == "ok" and cp1251[1] == "cp1251" and utf8[1] == "utf-8"
    assert cp1251[2:] == utf8[2:]
    assert len(cp1251[5]) == 25_000
