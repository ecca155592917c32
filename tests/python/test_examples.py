"""Every example of README.md and of the documentation runs as written, and shows what it really prints.

How each kind of block runs, and how a page marks one that cannot: markdown_examples.py."""

from __future__ import annotations

import doctest
import importlib.util
import os
import re
import subprocess
import sys
from pathlib import Path
from typing import Any

import pytest

from markdown_examples import REPO, SHELL_PRELUDE, Block, blocks, commands, pages, working_folder

# The libraries that only some installations have (PyPy has none of them): where one is missing, an example that
# imports it is skipped with the rest of its page (which may build on it), unless a `needs` marker names it.
OPTIONAL = {"pyarrow", "pandas", "polars", "duckdb", "dask", "distributed", "pyspark"}


@pytest.mark.parametrize("page", pages(), ids=lambda page: str(page.relative_to(REPO)))
def test_the_examples_of_a_page_run_as_written(page: Path, tmp_path: Path, monkeypatch: pytest.MonkeyPatch) -> None:
    folder = working_folder(tmp_path)
    monkeypatch.chdir(folder)
    namespace: dict[str, Any] = {"__name__": "example"}
    for block in blocks(page):
        if block.marker == "not-run":
            assert block.marker_text, f"{block.where}: a block that is not run says why"
            continue
        assert block.language not in ("sh", "bash", "shell"), \
            f"{block.where}: a shell block is a console example (`$ command`), or says why it is not run"
        if block.marker == "recipe" or block.language not in ("python", "pycon", "console"):
            continue
        if block.marker == "needs" and not all(map(importlib.util.find_spec, block.marker_text.split())):
            continue  # this block alone: the page's other blocks do not build on it
        if block.language == "console" and os.name != "posix":
            continue  # the pages' shell is a POSIX one (sed, cut, head)
        try:
            if block.language == "python":
                run_python(block, namespace)
            elif block.language == "pycon":
                run_pycon(block, namespace)
            else:
                run_console(block, folder)
        except ModuleNotFoundError as error:
            if error.name is None or error.name.split(".")[0] not in OPTIONAL:
                raise
            pytest.skip(f"{block.where} needs {error.name}")


def run_python(block: Block, namespace: dict[str, Any]) -> None:
    # Blank lines before the code make a traceback name the page's own lines.
    exec(compile("\n" * (block.line - 1) + block.code, str(block.page), "exec"), namespace)


def run_pycon(block: Block, namespace: dict[str, Any]) -> None:
    test = doctest.DocTestParser().get_doctest(block.code, namespace, block.where, str(block.page), block.line - 1)
    runner = doctest.DocTestRunner(optionflags=doctest.ELLIPSIS)
    report: list[str] = []
    runner.run(test, out=report.append, clear_globs=False)
    namespace.update(test.globs)  # a doctest runs in a copy of the namespace it is given
    if runner.failures:
        pytest.fail("".join(report), pytrace=False)


def run_console(block: Block, folder: Path) -> None:
    env = dict(os.environ, EXAMPLE_PYTHON=sys.executable, PYTHONIOENCODING="utf-8", COLUMNS="80",
               # Standard output and error in the order they were written, as on a terminal.
               PYTHONUNBUFFERED="1")
    for command in commands(block):
        done = subprocess.run(["bash", "-c", SHELL_PRELUDE + command.command], cwd=folder, env=env,
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=600)
        got = done.stdout.decode("utf-8", "backslashreplace")
        where = f"{block.page.relative_to(REPO)}:{command.line}: $ {command.command}"
        if command.output is None:
            assert done.returncode == 0, f"{where}\nexit status {done.returncode}\n{got}"
        else:
            if not doctest.OutputChecker().check_output(_trimmed(command.output), _trimmed(got), doctest.ELLIPSIS):
                pytest.fail(f"{where}\n--- the page shows\n{command.output}--- it printed\n{got}", pytrace=False)


def _trimmed(text: str) -> str:
    """Without the blanks that end lines, which editors take away from a page."""
    return "\n".join(line.rstrip() for line in text.split("\n"))


def test_the_payment_orders_guide_names_every_check_with_its_level() -> None:
    """The table of checks lists each code the package's sources give a problem, at the levels they give it."""
    levels: dict[str, set[str]] = {}
    for source in (REPO / "quorlane").glob("*.py"):
        text = source.read_text(encoding="utf-8")
        for level, code in re.findall(r'\b(error|warning|level)\(\s*[^,()]+,\s*"([a-z0-9-]+)"', text):
            levels.setdefault(code, set()).update({"error", "warning"} if level == "level" else {level})
        for code in re.findall(r'\bcode="([a-z0-9-]+)"', text):
            levels.setdefault(code, set()).add("error")  # a problem made with its code is a WriteError
    rows = {}
    for line in (REPO / "docs" / "payment-orders.md").read_text(encoding="utf-8").split("\n"):
        cells = [cell.strip() for cell in line.strip("|").split("|")]
        if line.startswith("| `") and len(cells) == 4:
            for code in re.findall(r"`([a-z0-9-]+)`", cells[0]):
                rows[code] = set(re.findall(r"error|warning", cells[1]))
    assert len(levels) > 60
    assert {code: rows.get(code) for code in levels} == levels


def test_the_changelog_ends_at_the_packages_version() -> None:
    import quorlane

    changelog = (REPO / "CHANGELOG.md").read_text(encoding="utf-8")
    versions = re.findall(r"^## \[(\d+\.\d+\.\d+)\] - \d{4}-\d{2}-\d{2}$", changelog, re.M)
    assert versions and versions[0] == quorlane.__version__
