"""`quorlane check`: read many statements on every core; a line per file that fails, per warning and, with
--balances, per balance that does not reconcile; a closing summary."""

from __future__ import annotations

import argparse
import multiprocessing
import os
import signal
import sys
import time
from collections.abc import Iterable, Iterator
from contextlib import contextmanager
from fnmatch import fnmatchcase
from functools import partial
from typing import Any, Callable, NamedTuple, Optional, TextIO

from .reading import Failed, failure, parse, read_bytes


class Outcome(NamedTuple):
    """What one file gave: its failure line (or None), its documents, and its lines of warnings and findings."""

    failure: Optional[str]
    documents: int = 0
    warnings: tuple[str, ...] = ()
    findings: tuple[str, ...] = ()
    differences: int = 0  # the findings that are errors


def statement_files(paths: Iterable[str], pattern: str) -> Iterator[str]:
    """The files named, and the files below the folders named whose names match `pattern` without regard to case
    (KL_TO_1C.TXT is a *.txt), in sorted order. A path that does not exist is passed on, to fail as a file."""
    pattern = pattern.lower()
    for path in paths:
        if os.path.isdir(path):
            found = [os.path.join(folder, name) for folder, _, names in os.walk(path) for name in names
                     if fnmatchcase(name.lower(), pattern)]
            yield from sorted(p for p in found if os.path.isfile(p))
        else:
            yield path


def check_file(path: str, balances: bool = False) -> Outcome:
    try:
        data = read_bytes(path)
        if balances:
            import quorlane_py

            from ..sections import read_sections

            try:
                reading = read_sections(data)
            except quorlane_py.ParseError as error:
                raise failure(path, error) from None
            statement = reading.statement
        else:
            statement = parse(path, data)
    except Failed as failed:
        return Outcome(str(failed))
    warnings = tuple(f"{path}:{lineno}: warning: {message}" for lineno, message in statement.warnings)
    if not balances:
        return Outcome(None, len(statement.documents), warnings)
    from ..balances import reconcile

    found = reconcile(reading)
    return Outcome(None, len(statement.documents), warnings,
                   tuple(f"{path}:{f.line}: {f.level}: {f.message}" for f in found),
                   sum(f.level == "error" for f in found))


def _ignore_interrupts() -> None:
    # Ctrl-C reaches every process of the terminal's group: the main one alone answers it, and ends the others.
    signal.signal(signal.SIGINT, signal.SIG_IGN)


def outcomes(files: list[Any], jobs: int, work: Callable[[Any], Any] = check_file) -> Iterator[Any]:
    """work(file) for each file (check_file by default), in order; `work` is a module's function (or a partial
    of one), so that the processes can be handed it. Processes, not threads: the reader holds the interpreter
    lock for the whole of a parse, so only processes read on every core."""
    if jobs <= 1 or len(files) <= 1:
        yield from map(work, files)
        return
    chunk = max(1, min(32, len(files) // (jobs * 8)))
    with _pool(min(jobs, len(files))) as pool:
        yield from pool.imap(work, files, chunksize=chunk)


@contextmanager
def _pool(processes: int) -> Iterator[Any]:
    """The processes, started the platform's way or the way QUORLANE_START_METHOD names (the tests try spawn,
    what macOS and Windows use, on Linux). On POSIX, Ctrl-C is held back while they start: they inherit that,
    through spawn's exec too, and so never see it, not even while a spawned one imports before its initializer
    runs (it would end with a traceback). A Ctrl-C held meanwhile arrives once the pool is there to be ended."""
    method = os.environ.get("QUORLANE_START_METHOD") or None
    try:
        context = multiprocessing.get_context(method)
    except ValueError:
        known = ", ".join(multiprocessing.get_all_start_methods())
        raise Failed(f"quorlane: QUORLANE_START_METHOD={method} is not a start method here ({known})") from None
    hold = getattr(signal, "pthread_sigmask", None)  # none on Windows, where the initializer alone does it
    if hold is None:
        with context.Pool(processes, initializer=_ignore_interrupts) as pool:
            yield pool
        return
    if context.get_start_method() != "fork":
        # Started with the pool's first lock, multiprocessing's resource tracker would let Ctrl-C through again.
        from multiprocessing import resource_tracker

        resource_tracker.ensure_running()
    held = hold(signal.SIG_BLOCK, {signal.SIGINT})  # the mask before, to go back to
    try:
        pool = context.Pool(processes, initializer=_ignore_interrupts)
    except BaseException:
        hold(signal.SIG_SETMASK, held)
        raise
    with pool:
        hold(signal.SIG_SETMASK, held)
        yield pool


def jobs_count(text: str) -> int:
    """--jobs: a positive whole number of processes."""
    try:
        number = int(text)
    except ValueError:
        number = 0
    if number < 1:
        raise argparse.ArgumentTypeError(f"must be a positive whole number, not {text!r}")
    return number


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


def _count(number: int, thing: str) -> str:
    return f"{number} {thing}{'' if number == 1 else 's'}"


class Totals:
    """The counts of the closing summary."""

    def __init__(self, files: int) -> None:
        self.files, self.failed, self.documents, self.warnings = files, 0, 0, 0
        self.differences = self.notes = 0
        self.started = time.monotonic()

    def add(self, outcome: Outcome) -> None:
        self.failed += outcome.failure is not None
        self.documents += outcome.documents
        self.warnings += len(outcome.warnings)
        self.differences += outcome.differences
        self.notes += len(outcome.findings) - outcome.differences

    def summary(self, balances: bool, strict: bool) -> str:
        read = self.files - self.failed
        parts = [f"{_count(self.files, 'file')}: {read} read, {self.failed} failed",
                 f"{_count(self.documents, 'document')}, {_count(self.warnings, 'warning')}"
                 + (" (failures under --strict)" if strict and self.warnings else "")]
        if balances:
            parts.append(f"balances: {_count(self.differences, 'difference')}, {_count(self.notes, 'note')}")
        parts.append(f"{time.monotonic() - self.started:.1f} s")
        return "; ".join(parts)


def run(paths: list[str], pattern: str, jobs: Optional[int], balances: bool = False, strict: bool = False,
        out: TextIO = sys.stdout, err: TextIO = sys.stderr) -> int:
    files = list(statement_files(paths, pattern))
    progress = Progress(err, len(files))
    totals = Totals(len(files))
    try:
        work = partial(check_file, balances=balances)
        for done, outcome in enumerate(outcomes(files, jobs or os.cpu_count() or 1, work), 1):
            lines = [outcome.failure] if outcome.failure is not None else [*outcome.warnings, *outcome.findings]
            if lines:
                progress.clear()
                print("\n".join(lines), file=out, flush=True)
            totals.add(outcome)
            progress.update(done)
    finally:
        progress.clear()
    print(totals.summary(balances, strict), file=out)
    return 1 if totals.failed or totals.differences or (strict and totals.warnings) else 0
