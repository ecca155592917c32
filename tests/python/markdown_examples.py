"""The code blocks of README.md and the documentation's pages, and how each is run as a reader would run it.

A page's blocks run in page order, in one namespace and in one working folder that holds the files the pages
name (`kl_to_1c.txt`, a statement as a bank exports it; `statements/`, a folder of real ones), as a reader who
follows the page in one session would:

- `python`: executed; `pycon`: run as a doctest, its shown output checked;
- `console`: each `$ command` runs in bash (`quorlane` and `python` are this interpreter's), and the lines shown
  after it are its output (standard output and error together, as a terminal shows them; "..." matches any
  text); a command shown without output must end with status 0;
- `sh`: commands that are not run here (installing, building, the test commands themselves), each marked with
  the reason; other languages (`text`, `json`, ...) are not examples and are not run.

An HTML comment on the line before a block says how it is run otherwise:

- `<!-- not-run: why -->`: the block cannot run here, and the comment says why;
- `<!-- recipe: NAME -->`: the block belongs to the recipe NAME, run as a script by test_recipes.py (slow);
- `<!-- needs: MODULE ... -->`: the block alone is skipped where a module is not installed (PyPy has no
  pyarrow); an example that imports a missing optional library without it is skipped with the rest of its page.

pytest-markdown-docs was tried first: its fence options (`python notest`, `python fixture:name`) are not fences
to the Markdown that MkDocs renders, which shows them as text, and it runs no shell examples.
"""

from __future__ import annotations

import re
import shutil
from dataclasses import dataclass
from pathlib import Path
from typing import Iterator, Optional

REPO = Path(__file__).resolve().parents[2]
DATA = REPO / "tests" / "data" / "real"

# `quorlane` and `python` in a shell example are the interpreter running the tests, named by $EXAMPLE_PYTHON (a
# sanitized or PyPy run has no `quorlane` script of its own on PATH).
SHELL_PRELUDE = """\
quorlane() { "$EXAMPLE_PYTHON" -m quorlane "$@"; }
python() { "$EXAMPLE_PYTHON" "$@"; }
python3() { "$EXAMPLE_PYTHON" "$@"; }
"""

_FENCE = re.compile(r"^(?P<indent>[ \t]*)(?P<fence>`{3,}|~{3,})[ \t]*(?P<language>[\w+-]*)(?P<options>[^`]*)$")
_TITLE = re.compile(r'title="([^"]*)"')
_MARKER = re.compile(r"^[ \t]*<!--[ \t]*(?P<kind>not-run|recipe|needs):[ \t]*(?P<text>.*?)[ \t]*-->[ \t]*$")


@dataclass(frozen=True)
class Block:
    page: Path
    line: int  # the line of its first line of code, counting from 1
    language: str
    title: Optional[str]
    code: str
    marker: Optional[str]  # "not-run", "recipe" or "needs"
    marker_text: str

    @property
    def where(self) -> str:
        return f"{self.page.relative_to(REPO)}:{self.line}"


def pages() -> list[Path]:
    """README.md and every page of the documentation."""
    return [REPO / "README.md", *sorted((REPO / "docs").rglob("*.md"))]


def blocks(page: Path) -> Iterator[Block]:
    """The fenced code blocks of a page, in order, with the marker comment before each."""
    lines = page.read_text(encoding="utf-8").split("\n")
    number = 0
    while number < len(lines):
        opening = _FENCE.match(lines[number])
        if opening is None:
            number += 1
            continue
        indent, fence = opening["indent"], opening["fence"]
        before = next((lines[i] for i in range(number - 1, -1, -1) if lines[i].strip()), "")
        marker = _MARKER.match(before)
        end = number + 1
        while end < len(lines) and not _closes(lines[end], fence):
            end += 1
        if end == len(lines):
            raise ValueError(f"{page}:{number + 1}: a code block that is not closed")
        code = "\n".join(line[len(indent):] if line.startswith(indent) else line.lstrip()
                         for line in lines[number + 1:end])
        title = _TITLE.search(opening["options"])
        yield Block(page, number + 2, opening["language"], title[1] if title else None, code + "\n",
                    marker["kind"] if marker else None, marker["text"] if marker else "")
        number = end + 1


def _closes(line: str, fence: str) -> bool:
    stripped = line.strip()
    return len(stripped) >= len(fence) and set(stripped) == {fence[0]}


@dataclass(frozen=True)
class Command:
    line: int
    command: str
    output: Optional[str]  # None where the page shows no output


def commands(block: Block) -> Iterator[Command]:
    """The `$ command` lines of a console block (a line ending in a backslash goes on), each with its output."""
    lines = block.code.rstrip("\n").split("\n")
    index = 0
    while index < len(lines):
        if not lines[index].startswith("$ "):
            raise ValueError(f"{block.where}: a console block starts each command with '$ ': {lines[index]!r}")
        start = index
        command = [lines[index][2:]]
        while command[-1].endswith("\\") and index + 1 < len(lines):
            index += 1
            command.append(lines[index])
        index += 1
        output = []
        while index < len(lines) and not lines[index].startswith("$ "):
            output.append(lines[index])
            index += 1
        yield Command(block.line + start, "\n".join(command), "\n".join(output) + "\n" if output else None)


def working_folder(folder: Path) -> Path:
    """A folder with the files the pages name: `kl_to_1c.txt` (the package's sample statement, windows-1251) and
    `statements/` (the real statements of the test data, some of which do not read)."""
    import quorlane  # the installed package's sample, as a user has it

    folder.mkdir(parents=True, exist_ok=True)
    shutil.copyfile(Path(quorlane.__file__).parent / "data" / "sample_statement.txt", folder / "kl_to_1c.txt")
    statements = folder / "statements"
    statements.mkdir(exist_ok=True)
    for path in DATA.glob("*.txt"):
        shutil.copyfile(path, statements / path.name)
    return folder
