"""The quorlane command line, run as a user runs it, on the shipped sample, the real statements and a few made
here: one table of (arguments, exit status, lines), and the behaviours a table cannot hold."""

from __future__ import annotations

import csv
import io
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import time
from importlib.resources import files
from pathlib import Path
from typing import NamedTuple

import pytest

import quorlane
import quorlane.cli
import quorlane_py
from conftest import ACCOUNT_NUMBER, account, document, quorlane_command, statement
from quorlane._keys import DOCUMENT_FIELDS
from quorlane.statement_reading import read_statement
from quorlane.cli import check, export

REAL = Path(__file__).resolve().parents[1] / "data" / "real"
SAMPLE = str(files("quorlane") / "data" / "sample_statement.txt")
KILY = "{real}/kilylabs__client-bank-exchange-php__one_day.txt"
UNACT = "{real}/Unact__client_bank_exchange2__test.txt"
SAMPLE_WARNING = '{sample}:118: warning: invalid value: string "2 500,00", expected a Decimal type representing a ' \
                 'fixed-point number (Сумма="2 500,00")'
# The documents of statements made here pay the account 20500.50 on 04.03.2024 and take 12000.00 from it on
# 05.03.2024, what its section states.
INCOME = {"Номер": "7", "ПлательщикСчет": "40702810500000054321", "ПолучательСчет": ACCOUNT_NUMBER,
          "ДатаСписано": "", "ДатаПоступило": "04.03.2024", "Сумма": "20500.50"}
BIG, TINY = str(2**96 - 1), "0." + "0" * 27 + "1"
GOOD = statement(account(), document()).encode("utf-8")
DOS = GOOD.decode().replace("Кодировка=Windows", "Кодировка=DOS").encode("cp866")


@pytest.fixture(scope="module")
def place(tmp_path_factory: pytest.TempPathFactory) -> Path:
    folder = tmp_path_factory.mktemp("cli")
    (folder / "bad.txt").write_bytes("1CClientBankExchange\nА=1\nмусор\n".encode("cp1251"))
    (folder / "upper").mkdir()
    shutil.copy(REAL / "kilylabs__client-bank-exchange-php__one_day.txt", folder / "upper" / "KL_TO_1C.TXT")
    (folder / "upper" / "notes.md").write_bytes(b"not a statement\n")
    (folder / "balanced.txt").write_bytes(statement(account(), document(INCOME), document()).encode("utf-8"))
    (folder / "unbalanced.txt").write_bytes(
        statement(account({"КонечныйОстаток": "158500.51"}), document()).encode("utf-8"))
    # Links: to a file listed another way (a hard one too), to nothing, to themselves, and to a folder (followed).
    # Only where users make them freely (Windows asks for a privilege): elsewhere the case that reads them fails.
    (folder / "links").mkdir()
    if os.name == "posix":
        os.link(folder / "upper" / "KL_TO_1C.TXT", folder / "links" / "hard.txt")
        (folder / "links" / "same.txt").symlink_to(folder / "upper" / "KL_TO_1C.TXT")
        (folder / "links" / "broken.txt").symlink_to("missing.txt")
        (folder / "links" / "loop.txt").symlink_to("loop.txt")
        (folder / "links" / "folder").symlink_to(folder / "upper", target_is_directory=True)
    (folder / "empty").mkdir()
    # Amounts as wide as the reader takes (29 digits, 28 of them fractional), and a statement beside them.
    (folder / "wide").mkdir()
    (folder / "wide" / "wide.txt").write_bytes(statement(
        account({"НачальныйОстаток": BIG, "ВсегоПоступило": TINY, "ВсегоСписано": TINY, "КонечныйОстаток": BIG}),
        document({**INCOME, "Сумма": BIG})).encode("utf-8"))
    shutil.copy(folder / "balanced.txt", folder / "wide")
    return folder


class Case(NamedTuple):
    args: tuple[str, ...]
    status: int
    lines: tuple[str, ...]  # each the whole of a line of stdout or stderr; "*" stands for any text
    stdin: bytes | None = None
    env: dict[str, str] | None = None  # besides os.environ, less PYTHONIOENCODING
    encoding: str = "utf-8"  # of the output


ASCII_TERMINAL = {"LC_ALL": "C", "PYTHONUTF8": "0"}
CASES = {
    # Usage
    "version": Case(("--version",), 0, (f"quorlane {quorlane.__version__}",)),
    "help": Case(("--help",), 0, ("examples:",)),
    "no command": Case((), 2, ("quorlane: error: the following arguments are required: COMMAND",)),
    "missing argument": Case(("convert", "only-one"), 2,
                             ("quorlane convert: error: the following arguments are required: OUT",)),
    "jobs 0": Case(("check", "--jobs", "0", "{real}"), 2,
                   ("quorlane check: error: argument --jobs: must be a positive whole number, not '0'",)),
    "jobs -3": Case(("check", "--jobs", "-3", "{real}"), 2,
                    ("quorlane check: error: argument --jobs: must be a positive whole number, not '-3'",)),
    # show, on any terminal
    "show sample": Case(("show",), 0, ('  2024-03-04  318     Платежное поручение  38400.00  ООО "СЕВЕРНЫЙ ВЕТЕР"      '
                                       'ИНН 5003098765 ООО "ТЕП…  Оплата по счёту № 112 от 28.02.2024 за …',)),
    "show cp866": Case(("show",), 0, ('  2024-03-04  318     Платежное поручение  38400.00  ООО "СЕВЕРНЫЙ ВЕТЕР"      '
                                      'ИНН 5003098765 ООО "Т...  Оплата по счёту № 112 от 28.02.2024 з...',),
                       env={"PYTHONIOENCODING": "cp866"}, encoding="cp866"),
    "show cp1251": Case(("show",), 0, ('  2024-03-04  318     Платежное поручение  38400.00  ООО "СЕВЕРНЫЙ ВЕТЕР"      '
                                       'ИНН 5003098765 ООО "ТЕП…  Оплата по счёту № 112 от 28.02.2024 за …',),
                        env={"PYTHONIOENCODING": "cp1251"}, encoding="cp1251"),
    "show ascii": Case(("show",), 0, ('  2024-03-04  318     ????????? ?????????  38400.00  ??? "???????? ?????"      '
                                      '??? 5003098765 ??? "?...  ?????? ?? ????? ? 112 ?? 28.02.2024 ?...',),
                       env=ASCII_TERMINAL, encoding="ascii"),
    "failure ascii": Case(("show", "-"), 1, ("-:3: Unrecognized line: '?????'",),
                          stdin="1CClientBankExchange\nА=1\nмусор\n".encode("cp1251"), env=ASCII_TERMINAL,
                          encoding="ascii"),
    "bad stdin": Case(("show", "-"), 1, ("-:3: Unrecognized line: 'мусор'",),
                      stdin="1CClientBankExchange\nА=1\nмусор\n".encode("cp1251")),
    "missing file": Case(("json", "missing.txt"), 1, ("missing.txt: No such file or directory",)),
    # What the format allows beyond quorlane_py.parse: a byte order mark read past (a note line), a declared cp866
    "byte order mark": Case(("show", "-"), 0, ("-: note: begins with a UTF-8 byte order mark: read after it",
                                               "Encoding: utf-8"), stdin=b"\xef\xbb\xbf" + GOOD),
    "byte order mark check": Case(("check", "-"), 0, ("-: note: begins with a UTF-8 byte order mark: read after it",
                                                      "1 file: 1 read, 0 failed; 1 document, 0 warnings; * s"),
                                  stdin=b"\xef\xbb\xbf" + GOOD),
    "byte order mark convert": Case(("convert", "-", "-"), 0, ("-: note: begins with a UTF-8 byte order mark: read "
                                                               "after it, and the text written without it",
                                                               "1CClientBankExchange"), stdin=b"\xef\xbb\xbf" + GOOD),
    "dos": Case(("json", "-"), 0, ('{"encoding":"cp866",*"purpose":"Оплата по счёту № 17 от 01.03.2024.*',),
                stdin=DOS),
    "dos check": Case(("check", "-"), 0, ("1 file: 1 read, 0 failed; 1 document, 0 warnings; * s",), stdin=DOS),
    "convert to dos": Case(("convert", "-", "-", "--encoding", "cp866"), 0, ("Кодировка=DOS",), stdin=DOS,
                           encoding="cp866"),
    "convert undeclared dos": Case(("convert", "-", "{place}/never.txt", "--encoding", "cp866"), 1, (
        "-: the text in cp866 would be read back as windows-1251: its header does not declare Кодировка=DOS",),
        stdin=GOOD),
    # What a refused file holds, as a note line; control characters of a shown line escaped
    "one cp1251 byte": Case(("json", "-"), 1, ("-: note: valid UTF-8 but for byte 0xB9 at line 45, column 35",),
                            stdin=GOOD.replace("№".encode(), b"\xb9")),
    "cut short": Case(("csv", "-"), 1, ("-: note: valid UTF-8 that ends inside a character (line 45, column 29), as "
                                        "a file cut short does",), stdin=GOOD[:GOOD.index("счёту".encode()) + 1]),
    "undeclared dos": Case(("check", "-"), 1, ("-: note: not UTF-8 (byte 0x82 at line 2, column 1), and as "
                                               "windows-1251 too little of its start is letters, digits, punctuation "
                                               "and blanks",), stdin=GOOD.decode().encode("cp866")),
    "unfinished": Case(("show", "-"), 1, ("-: Statement is not finished", '-: note: the last line read is line 45, '
                                          '"НазначениеПлатежа=Оплата по счёту № 17 от 01.03.2024. В том числе НДС 20% - '
                                          '2000.00 рублей", inside the document section of line 20 (no КонецДокумента)'),
                       stdin=GOOD[:GOOD.index("КонецДокумента".encode())]),
    "carriage return": Case(("show", "-"), 1, ("-:47: Unrecognized line: 'КонецФайла\\r'", "-: note: the line ends in "
                                               "a carriage return that no line feed follows"), stdin=GOOD[:-1] + b"\r"),
    "convert implausible": Case(("convert", "-", "{place}/never.txt", "--encoding", "cp1251"), 1, (
        "-: the text in windows-1251 would not be read back as a statement: too little of its start is letters, "
        "digits, punctuation and blanks",), stdin=GOOD.replace(
            'Получатель=ООО "Лютик"'.encode(), ("Получатель=" + "«»" * 50).encode())),
    "dos end of file": Case(("show", "-"), 1, ("-:48: Unrecognized line: '\\u{1a}'",), stdin=GOOD + b"\x1a"),
    # json
    "json": Case(("json", KILY), 0, ('{"encoding":"cp1251","header":{"ВерсияФормата":"1.02",*"ДатаСоздания":'
                                     '"2016-01-12","ВремяСоздания":"10:03:13","ДатаНачала":"2016-01-11",*}',)),
    "json indent": Case(("json", "--indent", "2", KILY), 0, ('  "encoding": "cp1251",',)),
    "json lines": Case(("json", "--lines", "{sample}"), 0, ('{"doc_number":"318","doc_type":"Платежное поручение",*}',
                                                            SAMPLE_WARNING)),
    "json lines and indent": Case(("json", "--lines", "--indent", "2", "{sample}"), 2, (
        "quorlane json: error: argument --indent: not allowed with argument --lines",)),
    "json strict": Case(("json", "--strict", "{sample}"), 1, (SAMPLE_WARNING,)),
    "json lines all keys": Case(("json", "--lines", "--all-keys", UNACT), 0, (
        '{"doc_number":"1",*"section":{"kind":"document","doc_type":"Some type","start_line":35,"end_line":100,'
        '"keys":{"Номер":"1","Дата":"21.09.2022",*"repeated":{}}}',)),
    # csv
    "csv": Case(("csv", KILY), 0, ("doc_number,doc_type,doc_date,amount,purpose,payment_type,ordering,*,income_date",
                                   "697162,Банковский ордер,2016-01-11,83.23,*")),
    "csv excel": Case(("csv", "--excel", KILY), 0, ("\ufeffdoc_number;doc_type;doc_date;amount;purpose;*",
                                                    "'697162;Банковский ордер;2016-01-11;83,23;Some random string;'17;*")),
    "csv delimiter": Case(("csv", "--delimiter", "|", KILY), 0, ("697162|Банковский ордер|2016-01-11|83.23|*",)),
    "csv all keys": Case(("csv", "--all-keys", UNACT), 0, ("doc_number,*,income_date,Номер,Дата,Сумма,*,ПоказательКБК,*",)),
    "csv warnings": Case(("csv", "{sample}"), 0, (SAMPLE_WARNING,)),
    # check
    "check folder": Case(("check", "{real}"), 1, (
        "{real}/dronm__clbnk__to_bank.txt:10: Unrecognized line: 'СекцияДокумент'",
        "{real}/zharikovpro__client_bank_exchange__wrong_format.txt: Input is not a 1C statement",
        "16 files: 10 read, 6 failed; 59 documents, 0 warnings; * s")),
    "check warning": Case(("check", "{sample}"), 0, (SAMPLE_WARNING,
                                                     "1 file: 1 read, 0 failed; 3 documents, 1 warning; * s")),
    "check strict": Case(("check", "--strict", "{sample}"), 1, (
        SAMPLE_WARNING, "1 file: 1 read, 0 failed; 3 documents, 1 warning (failures under --strict); * s")),
    "check any case": Case(("check", "{place}/upper"), 0, ("1 file: 1 read, 0 failed; 13 documents, 0 warnings; * s",)),
    "check pattern": Case(("check", "--pattern", "*.MD", "{place}/upper"), 1, (
        "{place}/upper/notes.md: Input is not a 1C statement",)),
    "check each file once": Case(("check", "{place}/links", "{place}/upper/KL_TO_1C.TXT", "{place}/./upper/KL_TO_1C.TXT"),
                                 1, ("{place}/links/broken.txt: a symbolic link to missing.txt, which does not exist",
                                     "{place}/links/loop.txt: Too many levels of symbolic links",
                                     "3 files: 1 read, 2 failed; 13 documents, 0 warnings; * s")),
    "check nothing": Case(("check", "{place}/empty"), 1, ("{place}/empty: no file matches *.txt",)),
    "balances real": Case(("check", "--balances", "{real}"), 1, (
        "{real}/kilylabs__client-bank-exchange-php__one_day.txt:17: error: account 40702810200000000001, 2016-01-11: "
        "expense 41184.00 stated, 0.00 in 0 outgoing documents",
        "{real}/kilylabs__client-bank-exchange-php__one_day.txt:20: note: document 697162 names none of the "
        "statement's accounts (payer 12312312312312312, recipient 61304810100000000002)",
        "{real}/odoo-ru__client-bank-1c__kl_to_1c.txt:20: note: document 3 pays 108159.12 out of account "
        "00000000000000000001 on 2023-04-03, outside the dates of its sections",
        "16 files: 10 read, 6 failed; 59 documents, 0 warnings; balances: 14 differences, 34 notes; * s")),
    "balances wide": Case(("check", "--balances", "--jobs", "2", "{place}/wide"), 1, (
        f"{{place}}/wide/wide.txt:16: error: account {ACCOUNT_NUMBER}, 2024-03-01 to 2024-03-07: income {TINY} stated, "
        f"{BIG}.{'0' * 28} in 1 incoming document",
        "2 files: 2 read, 0 failed; 3 documents, 0 warnings; balances: 2 differences, 0 notes; * s")),
    "balances agree": Case(("check", "--balances", "{place}/balanced.txt"), 0, (
        "1 file: 1 read, 0 failed; 2 documents, 0 warnings; balances: 0 differences, 0 notes; * s",)),
    "balances differ": Case(("check", "--balances", "{place}/unbalanced.txt"), 1, (
        f"{{place}}/unbalanced.txt:18: error: account {ACCOUNT_NUMBER}, 2024-03-01 to 2024-03-07: opening 150000.00 "
        "+ income 20500.50 - expense 12000.00 = 158500.50, but the closing balance is 158500.51",
        f"{{place}}/unbalanced.txt:16: error: account {ACCOUNT_NUMBER}, 2024-03-01 to 2024-03-07: income 20500.50 "
        "stated, 0.00 in 0 incoming documents")),
}


def fill(text: str, where: dict[str, str]) -> str:
    for name, value in where.items():
        text = text.replace("{" + name + "}", value)
    return text


def matches(pattern: str, line: str) -> bool:
    return re.fullmatch(".*".join(map(re.escape, pattern.split("*"))), line) is not None


@pytest.mark.slow  # a process each
@pytest.mark.parametrize("case", CASES.values(), ids=CASES.keys())
def test_command_line(case: Case, place: Path):
    where = {"real": str(REAL), "sample": SAMPLE, "place": str(place)}
    env = None
    if case.env is not None:
        env = {k: v for k, v in os.environ.items() if k != "PYTHONIOENCODING"}
        env.update(case.env)
    result = quorlane_command(*(fill(a, where) for a in case.args), stdin=case.stdin, env=env)
    # Windows names the files found in a folder with its own separator; the table writes "/".
    lines = [line.replace(os.sep, "/") for line in (result.stdout + result.stderr).decode(case.encoding).splitlines()]
    assert result.returncode == case.status, lines
    for expected in case.lines:
        assert any(matches(fill(expected, where).replace(os.sep, "/"), line) for line in lines), (expected, lines)
    assert "Traceback" not in lines


def test_json_and_csv_hold_every_key(tmp_path):
    # Beside the real statements, one with a key written twice, a key the format does not know and a document that
    # the reader drops.
    twice = document({"Код": "0", "Неизвестный": "x"})
    twice.insert(-1, "НазначениеПлатежа=ещё строка")
    made = statement(account(), twice, document({"Дата": ""})).encode("utf-8")
    sources = [made]
    for path in sorted(REAL.glob("*.txt")):
        try:
            quorlane_py.parse(path.read_bytes())
        except quorlane_py.ParseError:
            continue
        sources.append(path.read_bytes())
    for data in sources:
        reading = quorlane.read_sections(data)
        whole = quorlane.to_dict(reading)
        made_sections = [whole.pop("header_section"), *whole.pop("account_sections"),
                         *(d.pop("section") for d in whole["documents"]), *(w.pop("section") for w in whole["warnings"])]
        assert whole == quorlane.to_dict(reading.statement)  # the typed part as without the sections
        made_sections.sort(key=lambda s: s["start_line"])
        assert len(made_sections) == len(reading.sections)  # each section once
        for made_section, section in zip(made_sections, reading.sections):
            assert [made_section[k] for k in ("kind", "doc_type", "start_line", "end_line")] == [
                section.kind, section.doc_type, section.start_line, section.end_line]
            assert made_section["keys"] == {key: section.get(key) for key, _ in section.attributes}
            for key, _ in section.attributes:  # every value, in file order
                assert made_section["repeated"].get(key, [section.get(key)]) == section.get_all(key)
    dropped = {"lineno": 76, "message": "empty string is not a valid date", "key": "Дата", "value": ""}
    assert quorlane.to_dict(quorlane.read_sections(sources[0]).statement)["warnings"] == [dropped]
    assert quorlane.to_dict(quorlane_py.parse(sources[0]))["warnings"] == [{**dropped, "key": None, "value": None}]

    # The commands give the same; CSV cells give every value back.
    path = tmp_path / "made.txt"
    path.write_bytes(made)
    result = quorlane_command("json", "--all-keys", path)
    assert json.loads(result.stdout) == quorlane.to_dict(quorlane.read_sections(made))
    result = quorlane_command("csv", "--all-keys", path)
    assert result.stderr.decode().splitlines() == [f'{path}:76: warning: empty string is not a valid date (Дата="")']
    header, row = csv.reader(io.StringIO(result.stdout.decode("utf-8")))
    section = quorlane.read_sections(made).documents[0]
    (read,) = quorlane_py.parse(made).documents
    assert row[:26] == [getattr(read, f) or "" for f in DOCUMENT_FIELDS]
    assert header[26:] == list(dict(section.attributes))
    assert [cell.split("\n") for cell in row[26:]] == [section.get_all(key) for key in header[26:]]
    assert len(section.get_all("НазначениеПлатежа")) == 2


# The forms whose output is made a batch of documents at a time.
BATCHED = [("json",), ("json", "--all-keys"), ("json", "--indent", "2", "--all-keys"), ("json", "--indent", "0"),
           ("json", "--lines", "--all-keys"), ("csv", "--all-keys"), ("csv", "--excel")]


def test_the_output_is_the_same_in_batches_of_every_size(tmp_path, monkeypatch, capsysbinary):
    twice = document({"Код": "0", "Неизвестный": "x"})
    twice.insert(-1, "НазначениеПлатежа=ещё строка")
    sources = {  # documents before an account and after it, a key given twice, a document dropped; none at all
        "made.txt": statement(document(), account(), twice, document({"Дата": ""}),
                              *[document({"Номер": str(n)}) for n in range(5)]).encode("cp1251"),
        "nothing.txt": statement(account()).encode("utf-8"),
        "kily.txt": (REAL / "kilylabs__client-bank-exchange-php__one_day.txt").read_bytes(),
    }
    for name, data in sources.items():
        path = tmp_path / name
        path.write_bytes(data)
        for form in BATCHED:
            outputs = set()
            for batch in (1, 3, 2048):
                monkeypatch.setattr(export, "_BATCH", batch)
                assert quorlane.cli.main([form[0], str(path), *form[1:]]) == 0
                outputs.add(tuple(capsysbinary.readouterr()))
            assert len(outputs) == 1, (name, form)
            if form[0] == "json" and "--lines" not in form:  # the whole statement's dict, as json writes it
                indent = int(form[form.index("--indent") + 1]) if "--indent" in form else None
                read = quorlane.read_sections if "--all-keys" in form else read_statement
                whole = quorlane.to_dict(read(data))
                expected = json.dumps(whole, ensure_ascii=False, indent=indent,
                                      separators=(",", ": ") if indent is not None else (",", ":"))
                assert outputs.pop()[0] == expected.encode("utf-8") + b"\n", (name, form)


@pytest.mark.slow
def test_a_statement_that_fails_at_its_end_gives_its_error_and_no_output(tmp_path):
    text = statement(account(), *[document({"Номер": str(n)}) for n in range(3000)])  # more than a batch
    (tmp_path / "broken.txt").write_bytes((text + "мусор\n").encode("utf-8"))
    (tmp_path / "emoji.txt").write_bytes(text.replace("Номер=2999", "Номер=2999 😀").encode("utf-8"))
    lines = text.count("\n") + 1
    for args in (("json",), ("json", "--lines"), ("csv", "--all-keys"), ("convert", "-")):
        result = quorlane_command(args[0], tmp_path / "broken.txt", *args[1:])
        assert (result.returncode, result.stdout) == (1, b""), args
        assert result.stderr.decode().splitlines() == [f"{tmp_path / 'broken.txt'}:{lines}: Unrecognized line: 'мусор'"]
    # What the text cannot keep is found in its last document: nothing on stdout, no file.
    for out in ("-", tmp_path / "out.txt"):
        result = quorlane_command("convert", tmp_path / "emoji.txt", out, "--encoding", "cp1251")
        assert (result.returncode, result.stdout) == (1, b"")
        assert "cannot be encoded in cp1251" in result.stderr.decode()
    assert sorted(os.listdir(tmp_path)) == ["broken.txt", "emoji.txt"]


@pytest.mark.posix
def test_progress_on_a_terminal_only():
    # Not on a pipe (the table's runs show nothing on stderr but their lines); on a terminal a bar on stderr,
    # cleared before each line and at the end.
    import pty

    main, terminal = pty.openpty()
    subprocess.run([sys.executable, "-m", "quorlane", "check", REAL], stdout=subprocess.DEVNULL, stderr=terminal,
                   env=dict(os.environ, PYTHONIOENCODING="utf-8"), cwd=Path(__file__).parent, timeout=120)
    os.close(terminal)
    drawn = os.read(main, 1 << 16).decode()
    os.close(main)
    assert "] 16/16" in drawn and drawn.endswith("\r\x1b[K")
    assert quorlane_command("check", REAL).stderr == b""


@pytest.mark.slow
@pytest.mark.posix  # Windows has no SIGPIPE and no `>&-`
def test_a_closed_pipe_ends_quietly(tmp_path):
    big = tmp_path / "big.txt"
    big.write_bytes(statement(account(), *[document({"Номер": str(n)}) for n in range(3000)]).encode("utf-8"))
    for args in (["csv", big], ["json", "--lines", big], ["json", big], ["show", big]):
        process = subprocess.Popen([sys.executable, "-m", "quorlane", *map(str, args)], stdout=subprocess.PIPE,
                                   stderr=subprocess.PIPE, cwd=Path(__file__).parent)
        assert process.stdout is not None and os.read(process.stdout.fileno(), 100)
        process.stdout.close()  # as `| head -c 100` does
        assert (process.wait(timeout=120), process.stderr.read()) == (141, b""), args
    closed = quorlane_command("show", stdout=None, preexec_fn=lambda: os.close(1))  # `quorlane show >&-`
    assert (closed.returncode, closed.stderr) == (1, b"quorlane: standard output is closed\n")


def test_a_folder_that_cannot_be_listed_fails_the_run(tmp_path, monkeypatch, capsys):
    # As a user without the right to read the folder meets it (the tests may run as root, whom nothing refuses).
    (tmp_path / "locked").mkdir()
    (tmp_path / "fine.txt").write_bytes(GOOD)
    scandir = os.scandir

    def refusing(path: str = ".") -> object:
        if os.fspath(path).endswith("locked"):
            raise PermissionError(13, "Permission denied", os.fspath(path))
        return scandir(path)

    monkeypatch.setattr(os, "scandir", refusing)
    assert check.check([str(tmp_path)], "*.txt", 1) == 1
    lines = capsys.readouterr().out.splitlines()
    assert lines[0] == f"{tmp_path / 'locked'}: Permission denied"
    assert matches("1 file: 1 read, 0 failed, 1 folder not listed; 1 document, 0 warnings; * s", lines[-1])


# Ctrl-C (SIGINT to the terminal's whole group) and SIGTERM (to the main process alone, as `timeout` and service
# managers send it) while a statement is read from a named pipe that nobody writes: in a worker process (check), or
# with the output's temporary beside its target (parquet, xlsx). One line, the status, no process left, and nothing
# new beside the output, which is as it was.
STOPS = {"interrupted": (signal.SIGINT, True, 130), "terminated": (signal.SIGTERM, False, 143)}
WAITING = {"check": ("check", "--jobs", "2"), "parquet": ("parquet", "-o", "out"), "xlsx": ("xlsx", "-o", "out.xlsx")}


@pytest.mark.slow
@pytest.mark.posix  # named pipes and process groups to signal
@pytest.mark.parametrize("stop", STOPS, ids=STOPS)
@pytest.mark.parametrize("command", WAITING, ids=WAITING)
def test_ctrl_c_and_sigterm_end_the_command_and_leave_nothing(tmp_path, command, stop):
    if command != "check":
        pytest.importorskip({"parquet": "pyarrow", "xlsx": "xlsxwriter"}[command])
    number, to_group, status = STOPS[stop]
    (tmp_path / "out").mkdir()  # an empty dataset folder, replaced at the end
    (tmp_path / "out.xlsx").write_bytes(b"an earlier workbook")
    (tmp_path / "fine.txt").write_bytes(GOOD)
    os.mkfifo(tmp_path / "waits.txt")
    before = sorted(os.listdir(tmp_path))
    process = subprocess.Popen([sys.executable, "-m", "quorlane", *WAITING[command], "fine.txt", "missing.txt",
                                "waits.txt"], stdout=subprocess.PIPE, stderr=subprocess.PIPE, start_new_session=True,
                               cwd=tmp_path)
    if command != "parquet":  # its line comes when its part is written
        assert process.stdout is not None
        assert process.stdout.readline() == b"missing.txt: No such file or directory\n"
    while command != "check" and sorted(os.listdir(tmp_path)) == before:  # until the output's temporary is there
        time.sleep(0.05)
    time.sleep(0.3)  # the pipe is opened meanwhile
    if to_group:
        os.killpg(process.pid, number)
    else:
        process.send_signal(number)
    _, said = process.communicate(timeout=60)  # a process left behind would hold the pipes open: a timeout
    assert (process.returncode, said) == (status, f"quorlane: {stop}\n".encode())
    for _ in range(100):  # under spawn, multiprocessing's resource tracker ends with the command, reaped soon after
        try:
            os.killpg(process.pid, 0)
        except ProcessLookupError:
            break
        time.sleep(0.1)
    else:
        pytest.fail("a process of the command's group is left")
    assert sorted(os.listdir(tmp_path)) == before
    assert (tmp_path / "out.xlsx").read_bytes() == b"an earlier workbook" and not any((tmp_path / "out").iterdir())


# Each writing command where the output cannot be written whole (a file size limit stands for a full disk): a line
# naming the output, status 1, nothing new beside the output and the earlier output as it was.
WRITERS = {"convert": ("convert", KILY, "{out}.txt"), "xlsx": ("xlsx", KILY, "-o", "{out}.xlsx"),
           "parquet": ("parquet", KILY, "-o", "{out}")}


@pytest.mark.slow
@pytest.mark.posix  # a file size limit set in the child (preexec_fn)
@pytest.mark.parametrize("command", WRITERS, ids=WRITERS)
def test_an_output_that_cannot_be_written_leaves_the_earlier_one(tmp_path, command):
    resource = pytest.importorskip("resource")
    if command != "convert":
        pytest.importorskip({"parquet": "pyarrow", "xlsx": "xlsxwriter"}[command])
    (tmp_path / "out").mkdir()
    (tmp_path / "out.txt").write_bytes(b"an earlier statement")
    (tmp_path / "out.xlsx").write_bytes(b"an earlier workbook")
    before = sorted(os.listdir(tmp_path))
    args = [fill(a, {"real": str(REAL), "out": str(tmp_path / "out")}) for a in WRITERS[command]]
    result = quorlane_command(*args, preexec_fn=lambda: resource.setrlimit(resource.RLIMIT_FSIZE, (4096, 4096)))
    assert result.returncode == 1
    assert result.stderr.decode().startswith(str(tmp_path / "out")) and "File too large" in result.stderr.decode()
    assert "Traceback" not in result.stderr.decode()  # nor when what the library left open is collected
    assert sorted(os.listdir(tmp_path)) == before and not any((tmp_path / "out").iterdir())
    assert (tmp_path / "out.txt").read_bytes() == b"an earlier statement"
    assert (tmp_path / "out.xlsx").read_bytes() == b"an earlier workbook"
    assert quorlane_command(*args).returncode == 0  # and without the limit, all is written


@pytest.mark.slow
def test_convert_writes_what_reads_back_equal(tmp_path):
    for name in ["kilylabs__client-bank-exchange-php__one_day.txt", "Unact__client_bank_exchange2__test.txt"]:
        source = quorlane_py.parse((REAL / name).read_bytes())
        for encoding in ("utf-8", "cp1251"):
            out = tmp_path / f"{encoding}.txt"
            result = quorlane_command("convert", REAL / name, out, "--encoding", encoding)
            assert result.returncode == 0, result.stderr
            back = quorlane_py.parse(out.read_bytes())
            assert (back.encoding, back.header, back.documents) == (encoding, source.header, source.documents)
            assert list(back.accounts.items()) == list(source.accounts.items())
