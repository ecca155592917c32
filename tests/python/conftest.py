"""Statement builders shared by the tests: realistic sections with every field filled, which a test changes
or removes key by key; and the interpreter features that some tests need."""

from __future__ import annotations

import gc
import importlib.util
import os
import subprocess
import sys
from collections.abc import Callable
from pathlib import Path

import pytest

# `python -m pytest` puts the working folder first on sys.path, where the source of the package quorlane would
# shadow the installed one, which holds its compiled extension: the tests import what is installed.
REPO = Path(__file__).resolve().parents[2]
sys.path[:] = [entry for entry in sys.path if Path(entry or ".").resolve() != REPO]


def quorlane_command(*args: object, stdin: bytes | None = None, env: dict[str, str] | None = None,
                     **options: object) -> subprocess.CompletedProcess[bytes]:
    """`python -m quorlane ARGS` as a user runs it: from a folder outside the source tree (whose quorlane would
    shadow the installed one here too), output UTF-8 unless `env` says otherwise."""
    options = {"stdout": subprocess.PIPE, "stderr": subprocess.PIPE, **options}
    return subprocess.run([sys.executable, "-m", "quorlane", *map(str, args)], input=stdin, cwd=Path(__file__).parent,
                          timeout=120, env=dict(os.environ, PYTHONIOENCODING="utf-8") if env is None else env,
                          **options)  # type: ignore[call-overload]


def _getsizeof_works() -> bool:
    try:
        sys.getsizeof(0)
    except TypeError:  # PyPy's answers TypeError for every object
        return False
    return True


# Interpreter features that some tests need; `@pytest.mark.needs("getrefcount")` skips a test where the running
# interpreter lacks one. PyPy 7.3 lacks all five.
FEATURES = {
    "getrefcount": hasattr(sys, "getrefcount"),
    "getsizeof": _getsizeof_works(),
    "stubtest": importlib.util.find_spec("_symtable") is not None,  # mypy's stubtest reads symbol tables
    # A cycle that runs through an extension object (a Statement in its own documents) is collected.
    "extension cycles collected": sys.implementation.name != "pypy",
    # Objects, and the core's memory behind them, are freed as soon as they become unreachable, so that the growth
    # of the process over a few hundred calls shows a leak (PyPy frees them at later collections).
    "memory freed at once": sys.implementation.name != "pypy",
}
PYPY = sys.implementation.name == "pypy"


# The markers of this suite, registered here rather than in pyproject.toml: the release CI runs the tests from a
# copy of tests/ alone.
MARKERS = {
    "needs(feature)": "the test needs an interpreter feature of conftest.FEATURES",
    "posix": "the test needs what POSIX systems have and Windows lacks (process groups, named pipes, a terminal, "
             "SIGPIPE); skipped elsewhere. tests/python/test_portability.py fails a test that uses such a call "
             "without it",
    "slow": "a subprocess-heavy test, a Dask cluster, a JVM, LibreOffice, stubtest, cibuildwheel or a statement of "
            "tens of thousands of documents; `pytest -m \"not slow\"` is the quick run",
}


def pytest_configure(config: pytest.Config) -> None:
    for marker, meaning in MARKERS.items():
        config.addinivalue_line("markers", f"{marker}: {meaning}")
    if getattr(sys.flags, "warn_default_encoding", 0):  # PYTHONWARNDEFAULTENCODING=1 (3.10+): each one fails
        config.addinivalue_line("filterwarnings", "error::EncodingWarning")


def pytest_runtest_setup(item: pytest.Item) -> None:
    for mark in item.iter_markers("needs"):
        missing = [feature for feature in mark.args if not FEATURES[feature]]
        if missing:
            pytest.skip(f"{sys.implementation.name} lacks {', '.join(missing)}")
    if item.get_closest_marker("posix") is not None and os.name != "posix":
        pytest.skip(f"needs POSIX (process groups, named pipes, a terminal, SIGPIPE), not {sys.platform}")

def rss_kib() -> int:
    """The process's resident memory in KiB, where /proc tells it (the leak tests skip elsewhere)."""
    return int(Path("/proc/self/statm").read_bytes().split()[1]) * os.sysconf("SC_PAGE_SIZE") // 1024


def counts(objects: list[object]) -> list[int]:
    # Shared singletons and small integers have counts that move with everything else: they are not watched.
    return [sys.getrefcount(o) for o in objects if o is not None and type(o) is not int]


def steady(call: Callable[[], object], watched: list[object], rounds: int = 25) -> None:
    """Runs `call` until caches settle, then checks that `rounds` more calls change no watched count."""
    for _ in range(3):
        call()
    gc.collect()
    before = counts(watched)
    for _ in range(rounds):
        call()
    gc.collect()
    assert counts(watched) == before


def rss_growth_kib(once: Callable[[], None], warm_up: int, rounds: int) -> int:
    """What the resident memory grows by over `rounds` calls of `once`, after `warm_up` calls that fill the
    interpreter's and the allocator's caches."""
    for _ in range(warm_up):
        once()
    gc.collect()
    start = rss_kib()
    for _ in range(rounds):
        once()
    gc.collect()
    return rss_kib() - start


HEADER: dict[str, str] = {
    "ВерсияФормата": "1.03",
    "Кодировка": "Windows",
    "Отправитель": "Бухгалтерия предприятия, редакция 3.0",
    "Получатель": "",
    "ДатаСоздания": "07.03.2024",
    "ВремяСоздания": "10:15:00",
    "ДатаНачала": "01.03.2024",
    "ДатаКонца": "07.03.2024",
    "РасчСчет": "40702810900000012345",
}

ACCOUNT_NUMBER = "40702810900000012345"

ACCOUNT: dict[str, str] = {
    "ДатаНачала": "01.03.2024",
    "ДатаКонца": "07.03.2024",
    "РасчСчет": ACCOUNT_NUMBER,
    "НачальныйОстаток": "150000.00",
    "ВсегоПоступило": "20500.50",
    "ВсегоСписано": "12000.00",
    "КонечныйОстаток": "158500.50",
}

DOCUMENT_TYPE = "Платежное поручение"

DOCUMENT: dict[str, str] = {
    "Номер": "125",
    "Дата": "05.03.2024",
    "Сумма": "12000.00",
    "ПлательщикСчет": ACCOUNT_NUMBER,
    "ДатаСписано": "05.03.2024",
    "Плательщик": "ИНН 7701234567 ООО \"Ромашка\"",
    "ПлательщикИНН": "7701234567",
    "ПлательщикКПП": "770101001",
    "Плательщик1": "ООО \"Ромашка\"",
    "ПлательщикРасчСчет": ACCOUNT_NUMBER,
    "ПлательщикБанк1": "ПАО СБЕРБАНК г. Москва",
    "ПлательщикБИК": "044525225",
    "ПлательщикКорсчет": "30101810400000000225",
    "ПолучательСчет": "40702810500000054321",
    "ДатаПоступило": "",
    "Получатель": "ООО \"Лютик\"",
    "ПолучательИНН": "7709876543",
    "ПолучательКПП": "770901001",
    "ПолучательРасчСчет": "40702810500000054321",
    "ПолучательБанк1": "АО \"АЛЬФА-БАНК\" г. Москва",
    "ПолучательБИК": "044525593",
    "ПолучательКорсчет": "30101810200000000593",
    "ВидОплаты": "01",
    "Очередность": "5",
    "НазначениеПлатежа": "Оплата по счёту № 17 от 01.03.2024. В том числе НДС 20% - 2000.00 рублей",
}

# The keys a document cannot do without (its type, from the opening line, is the thirteenth required field).
REQUIRED_DOCUMENT_KEYS = (
    "Номер",
    "Дата",
    "Сумма",
    "НазначениеПлатежа",
    "ПлательщикИНН",
    "ПлательщикБИК",
    "ПлательщикБанк1",
    "ПлательщикСчет",
    "ПолучательИНН",
    "ПолучательСчет",
    "ПолучательБИК",
    "ПолучательБанк1",
)


def _pairs(base: dict[str, str], changes: dict[str, str | None] | None) -> list[str]:
    attrs = dict(base)
    for key, value in (changes or {}).items():
        if value is None:
            attrs.pop(key, None)
        else:
            attrs[key] = value
    return [f"{key}={value}" for key, value in attrs.items()]


def account(changes: dict[str, str | None] | None = None) -> list[str]:
    """The lines of an account section; a change to None removes the key."""
    return ["СекцияРасчСчет", *_pairs(ACCOUNT, changes), "КонецРасчСчет"]


def document(changes: dict[str, str | None] | None = None, doc_type: str = DOCUMENT_TYPE) -> list[str]:
    """The lines of a document section; a change to None removes the key."""
    return [f"СекцияДокумент={doc_type}", *_pairs(DOCUMENT, changes), "КонецДокумента"]


def statement(*sections: list[str], header: dict[str, str] | None = None, end: bool = True) -> str:
    """A whole statement: the first line, the header, the sections and "КонецФайла" (unless end is False)."""
    lines = ["1CClientBankExchange", *_pairs(HEADER if header is None else header, None)]
    for section in sections:
        lines.extend(section)
    if end:
        lines.append("КонецФайла")
    return "\n".join(lines) + "\n"


def after_mark(data: bytes | str) -> bytes | str:
    """What quorlane_py.parse must be given to read a statement as the package's reading functions read it (cp866
    aside): what follows a leading byte order mark, where that is UTF-8 (else the mark is left, and both refuse)."""
    if isinstance(data, str):
        return data[1:] if data.startswith("\ufeff") else data
    if data.startswith(b"\xef\xbb\xbf"):
        try:
            data[3:].decode("utf-8")
        except UnicodeDecodeError:
            return data
        return data[3:]
    return data


def simple_statement() -> str:
    """One account and one document."""
    return statement(account(), document())


def lineno(text: str, line: str, occurrence: int = 1) -> int:
    """The 1-based number of the line equal to `line` (its n-th occurrence)."""
    seen = 0
    for number, candidate in enumerate(text.split("\n"), start=1):
        if candidate == line:
            seen += 1
            if seen == occurrence:
                return number
    raise LookupError(line)
