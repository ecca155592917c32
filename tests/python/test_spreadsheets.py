"""`quorlane xlsx` and `quorlane csv --excel` as a bookkeeper opens them: in LibreOffice Calc (headless), its CSV
import set as Excel opens a CSV in a Russian locale (";", UTF-8, ru-RU, special numbers detected), the result read
back with openpyxl, cell type by cell type."""

from __future__ import annotations

import shutil
import subprocess
from datetime import datetime
from pathlib import Path

import pytest

from conftest import account, document, quorlane_command, statement

openpyxl = pytest.importorskip("openpyxl")
pytest.importorskip("xlsxwriter")

# Separator ";" (59), text in '"' (34), UTF-8 (76), from line 1, default column formats, ru-RU (1049), quoted
# fields not forced to text, special numbers detected: what Excel does on opening a CSV in a Russian locale.
RUSSIAN_CSV = "CSV:59,34,76,1,,1049,false,true"
BIG = "1234567890123456.78"  # 18 significant digits: more than a spreadsheet number holds
# Texts that a spreadsheet would take for a number or a formula, where counterparties write them.
TEXTS = {"ПлательщикБИК": "044525716", "ПлательщикИНН": "0274062111", "НазначениеПлатежа": "=1+2",
         "Получатель": "+7 (999) 123-45-67", "Плательщик1": "@SUM(1+1)*cmd|' /C calc'!A0",
         "ПолучательБанк1": "-2+3", "ПлательщикБанк1": "\t=3+4", "Плательщик": "\r=5+6"}
COLUMNS = {"ПлательщикБИК": "counterparty_bic", "ПлательщикИНН": "counterparty_inn", "НазначениеПлатежа": "purpose",
           "Получатель": "payee", "Плательщик1": "counterparty_1", "ПолучательБанк1": "payee_bank1",
           "ПлательщикБанк1": "counterparty_bank1", "Плательщик": "counterparty"}


def calc(source: Path, folder: Path, infilter: str | None = None) -> Path:
    """The file as LibreOffice Calc opens it, saved again as a workbook."""
    soffice = shutil.which("soffice") or shutil.which("libreoffice")
    if soffice is None:
        pytest.skip("LibreOffice Calc is not installed (Debian: apt-get install libreoffice-calc-nogui)")
    subprocess.run([soffice, f"-env:UserInstallation={(folder / 'profile').as_uri()}", "--headless",
                    *([f"--infilter={infilter}"] if infilter else []), "--convert-to", "xlsx", "--outdir",
                    str(folder / "calc"), str(source)], check=True, capture_output=True, timeout=300)
    return folder / "calc" / f"{source.stem}.xlsx"


def rows(sheet) -> list[dict[str, object]]:  # type: ignore[no-untyped-def]
    """Each row under the header as {column: (type, value)}; no cell anywhere may be a formula."""
    cells = list(sheet.iter_rows())
    assert not [c.coordinate for row in cells for c in row if c.data_type == "f"]
    header = [c.value for c in cells[0]]
    return [{name: (c.data_type, c.value) for name, c in zip(header, row) if c.value is not None}
            for row in cells[1:]]


@pytest.mark.slow
def test_a_spreadsheet_shows_what_the_statement_says(tmp_path):
    made = statement(account(), document({**TEXTS, "Сумма": "12.05", "Дата": "11.01.2016"}),
                     document({"Номер": "126", "Сумма": BIG, "ДатаСписано": "01.01.1899"}), document({"Дата": ""}))
    (tmp_path / "a.txt").write_bytes(made.encode("utf-8"))
    (tmp_path / "b.txt").write_bytes(statement(account(), document()).encode("utf-8"))

    result = quorlane_command("xlsx", tmp_path / "a.txt", tmp_path / "b.txt", "-o", tmp_path / "documents.xlsx")
    assert result.returncode == 0, result.stderr
    book = openpyxl.load_workbook(tmp_path / "documents.xlsx")
    assert book.sheetnames == ["documents", "warnings"]
    for sheet in book.worksheets:  # what Calc does not keep when saving headless
        assert sheet.freeze_panes == "A2" and sheet.auto_filter.ref.startswith("A1:")
    assert book["documents"].auto_filter.ref == "A1:AA4"
    assert all(6 <= d.width <= 63 for d in book["documents"].column_dimensions.values())

    opened = openpyxl.load_workbook(calc(tmp_path / "documents.xlsx", tmp_path))
    first, second, other = rows(opened["documents"])
    assert first["file"] == ("s", str(tmp_path / "a.txt")) and other["file"] == ("s", str(tmp_path / "b.txt"))
    assert {COLUMNS[key]: first[COLUMNS[key]] for key in TEXTS} == {COLUMNS[k]: ("s", v) for k, v in TEXTS.items()}
    assert first["counterparty_account"] == ("s", "40702810900000012345")
    assert (first["amount"], first["doc_date"]) == (("n", 12.05), ("d", datetime(2016, 1, 11)))
    assert (second["amount"], second["outcome_date"]) == (("s", BIG), ("s", "1899-01-01"))
    assert opened["documents"]["E2"].number_format.endswith("0.00")  # the amount, after file and the number
    assert [(row["file"][1], row.get("line"), row["message"][1], row.get("key"), row.get("value"))
            for row in rows(opened["warnings"])] == [
        (str(tmp_path / "a.txt"), None, f"document 126: the amount {BIG} is text: it has more than 15 significant "
                                        "digits, which a spreadsheet number cannot hold", None, None),
        (str(tmp_path / "a.txt"), ("n", 100), "empty string is not a valid date", ("s", "Дата"), None)]

    result = quorlane_command("csv", "--excel", tmp_path / "a.txt")
    (tmp_path / "excel.csv").write_bytes(result.stdout)
    first, second = rows(openpyxl.load_workbook(calc(tmp_path / "excel.csv", tmp_path, RUSSIAN_CSV)).active)
    for key, text in TEXTS.items():  # every code keeps its digits, no formula: after an apostrophe
        kind, value = first[COLUMNS[key]]
        assert kind == "s" and value in ("'" + text, "'" + text.replace("\r", "\n")), key
    assert first["counterparty_account"] == ("s", "'40702810900000012345")
    assert (first["amount"], first["doc_date"]) == (("n", 12.05), ("d", datetime(2016, 1, 11)))
    assert second["amount"] == ("s", "'" + BIG) and second["outcome_date"][0] == "d"
