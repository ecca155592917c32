"""`quorlane check`: read many statements on every core, one line per file that fails."""

from __future__ import annotations

import multiprocessing
import os
import sys
import time
from collections.abc import Iterable, Iterator
from pathlib import Path
from typing import Any, Callable, Optional, TextIO, Tuple

from .reading import Failed, read

# What one file gave: its failure line, or None and its counts of documents and warnings.
Outcome = Tuple[Optional[str], int, int]


def statement_files(paths: Iterable[str], pattern: str) -> Iterator[str]:
    """The files named, and the files matching `pattern` in the folders named, recursively, in sorted order.
    A path that does not exist is passed on, to fail as a file."""
    for path in paths:
        if os.path.isdir(path):
            yield from sorted(str(p) for p in Path(path).rglob(pattern) if p.is_file())
        else:
            yield path


def check_file(path: str) -> Outcome:
    try:
        statement = read(path)
    except Failed as failure:
        return str(failure), 0, 0
    return None, len(statement.documents), len(statement.warnings)


def outcomes(files: list[Any], jobs: int, work: Callable[[Any], Any] = check_file) -> Iterator[Any]:
    """work(file) for each file (check_file by default), in order; `work` is a module's function, so that the
    processes can be handed it. Processes, not threads: the reader holds the interpreter lock for the whole of a
    parse, so only processes read on every core."""
    if jobs <= 1 or len(files) <= 1:
        yield from map(work, files)
        return
    chunk = max(1, min(32, len(files) // (jobs * 8)))
    with multiprocessing.get_context().Pool(min(jobs, len(files))) as pool:
        yield from pool.imap(work, files, chunksize=chunk)


class Progress:
    """A one-line bar on a terminal, redrawn at most ten times a second; nothing elsewhere."""

    def __init__(self, stream: TextIO, total: int) -> None:
        self.stream, self.total, self.shown_at = stream, total, 0.0
        self.active = stream.isatty() and total > 1

    def update(self, done: int) -> None:
        now = time.monotonic()
        if self.active and (now - self.shown_at >= 0.1 or done == self.total):
            self.shown_at = now
            filled = done * 30 // self.total
            self.stream.write(f"\r[{'#' * filled}{'.' * (30 - filled)}] {done}/{self.total}")
            self.stream.flush()

    def clear(self) -> None:
        if self.active:
            self.stream.write("\r\x1b[K")
            self.stream.flush()


def run(paths: list[str], pattern: str, jobs: int | None, out: TextIO = sys.stdout, err: TextIO = sys.stderr) -> int:
    files = list(statement_files(paths, pattern))
    progress = Progress(err, len(files))
    failed = documents = warnings = 0
    for done, (failure, document_count, warning_count) in enumerate(outcomes(files, jobs or os.cpu_count() or 1), 1):
        if failure is not None:
            failed += 1
            progress.clear()
            print(failure, file=out, flush=True)
        documents += document_count
        warnings += warning_count
        progress.update(done)
    progress.clear()
    print(f"{len(files)} files: {len(files) - failed} read ({documents} documents, {warnings} warnings), "
          f"{failed} failed", file=out)
    return 1 if failed else 0
