"""`quorlane check`: read many statements on every core; a line per file that fails, per warning and, with
--balances, per balance that does not reconcile; a closing summary. Its process pool, report and summary serve
the other commands over many files too (`parquet`, `xlsx`)."""

from __future__ import annotations

import argparse
import multiprocessing
import os
import signal
import sys
import time
from collections.abc import Generator, Iterator
from contextlib import closing, contextmanager
from functools import partial
from typing import Any, Callable, NamedTuple, Optional, TextIO

from .listing import Listing, nothing_matched, statement_files
from .reading import Failed, dropped, outline, read_bytes, reading, shown, warning_lines


class Outcome(NamedTuple):
    """What one file gave: its failure line (or None), its documents, and its lines of warnings and findings, and
    of notes on its form (a byte order mark read past), which count as nothing."""

    failure: Optional[str]
    documents: int = 0
    warnings: tuple[str, ...] = ()
    findings: tuple[str, ...] = ()
    differences: int = 0  # the findings that are errors
    notes: tuple[str, ...] = ()


def register(commands: Any) -> None:
    """Adds the command to the subcommands of the quorlane parser."""
    command = commands.add_parser("check", help="read many statements; report failures, warnings and balances")
    add_file_arguments(command)
    command.add_argument("--strict", action="store_true", help="a warning fails the check (exit status 1)")
    command.add_argument("--balances", action="store_true",
                         help="reconcile each account's balances, and its income and expense with the documents")
    command.set_defaults(func=run)


def run(args: argparse.Namespace) -> int:
    return check(args.paths, args.pattern, args.jobs, args.balances, args.strict)


def add_file_arguments(command: argparse.ArgumentParser) -> None:
    """PATH... --pattern --jobs: the arguments of every command over many files."""
    command.add_argument("paths", nargs="+", metavar="PATH", help="statement files and folders")
    command.add_argument("--pattern", default="*.txt",
                         help="the names of the files to read in folders, in any case (default: *.txt)")
    command.add_argument("--jobs", type=jobs_count, default=None, help="processes (default: one per core)")


def files_to_read(paths: list[str], pattern: str) -> Listing:
    """The listing of the paths; Failed when they name no file at all, so that a mistyped folder or pattern does
    not pass for a run that found nothing wrong."""
    listing = statement_files(paths, pattern)
    if not listing.files and not listing.failures:
        raise nothing_matched(paths, pattern)
    return listing


def check_file(path: str, balances: bool = False) -> Outcome:
    notes: list[str] = []
    try:
        data = read_bytes(path)
        if not balances:
            source = outline(path, data, notes=notes)  # the documents counted, none kept
            return Outcome(None, source.count, warning_lines(path, dropped(source.statement)), notes=tuple(notes))
        from ..balances import reconcile
        from ..sections import read_sections

        with reading(path, notes):
            sections = read_sections(data)
        statement = sections.statement
        warnings = warning_lines(path, dropped(statement))
        found = reconcile(sections)
    except Failed as failed:
        return Outcome(str(failed))
    except Exception as error:  # a fault of ours: said for this file, and the run goes on with the others
        return Outcome(shown(f"{path}: quorlane failed on this file: {type(error).__name__}: {error}"))
    return Outcome(None, len(statement.documents), warnings,
                   tuple(shown(f"{path}:{f.line}: {f.level}: {f.message}") for f in found),
                   sum(f.level == "error" for f in found), tuple(notes))


def _ignore_interrupts() -> None:
    # Ctrl-C reaches every process of the terminal's group: the main one alone answers it, and ends the others.
    # SIGTERM ends a worker at once, as the main process's pool ends its workers (the main process's own handler,
    # inherited through fork, would raise in the worker instead).
    signal.signal(signal.SIGINT, signal.SIG_IGN)
    signal.signal(signal.SIGTERM, signal.SIG_DFL)


def outcomes(files: list[Any], jobs: int, work: Callable[[Any], Any] = check_file, *,
             elsewhere: bool = False) -> Generator[Any, None, None]:
    """work(file) for each file (check_file by default), in order; `work` is a module's function (or a partial
    of one), so that the processes can be handed it. Processes, not threads: the reader holds the interpreter
    lock for the whole of a parse, so only processes read on every core. One file, or one job, is worked on in
    this process, unless `elsewhere` asks for processes always (for work that starts threads: a signal taken by
    one of them would not end a wait of the main thread). Close the iterator (contextlib.closing) to end the
    processes at once when the caller stops early."""
    if not files:
        return
    if not elsewhere and (jobs <= 1 or len(files) <= 1):
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

    def __init__(self, files: int, unlisted: int = 0) -> None:
        self.files, self.unlisted, self.failed, self.documents, self.warnings = files, unlisted, 0, 0, 0
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
        parts = [f"{_count(self.files, 'file')}: {read} read, {self.failed} failed"
                 + (f", {_count(self.unlisted, 'folder')} not listed" if self.unlisted else ""),
                 f"{_count(self.documents, 'document')}, {_count(self.warnings, 'warning')}"
                 + (" (failures under --strict)" if strict and self.warnings else "")]
        if balances:
            parts.append(f"balances: {_count(self.differences, 'difference')}, {_count(self.notes, 'note')}")
        parts.append(f"{time.monotonic() - self.started:.1f} s")
        return "; ".join(parts)

    def status(self, strict: bool) -> int:
        """The exit status: 1 for a file or folder that failed, a difference, or a warning under --strict."""
        return 1 if self.failed or self.unlisted or self.differences or (strict and self.warnings) else 0


class Report:
    """A run over many files as the user sees it: the folders that could not be listed first, then the lines of
    each outcome as it comes (its failure, or its warnings and findings), a progress bar on a terminal meanwhile;
    `totals` for the closing summary."""

    def __init__(self, listing: Listing, out: Optional[TextIO] = None, err: Optional[TextIO] = None) -> None:
        self.out = out or sys.stdout
        self.totals = Totals(len(listing.files), len(listing.failures))
        self.progress = Progress(err or sys.stderr, len(listing.files))
        self.done = 0
        if listing.failures:
            print("\n".join(listing.failures), file=self.out, flush=True)

    def __enter__(self) -> Report:
        return self

    def __exit__(self, *_: object) -> None:
        self.progress.clear()

    def add(self, outcome: Outcome) -> None:
        lines = [outcome.failure] if outcome.failure is not None else [*outcome.notes, *outcome.warnings,
                                                                        *outcome.findings]
        if lines:
            self.progress.clear()
            print("\n".join(lines), file=self.out, flush=True)
        self.totals.add(outcome)
        self.done += 1
        self.progress.update(self.done)


def check(paths: list[str], pattern: str, jobs: Optional[int], balances: bool = False, strict: bool = False,
          out: Optional[TextIO] = None, err: Optional[TextIO] = None) -> int:
    listing = files_to_read(paths, pattern)
    work = partial(check_file, balances=balances)
    with Report(listing, out, err) as report, \
            closing(outcomes(listing.files, jobs or os.cpu_count() or 1, work)) as results:
        for outcome in results:
            report.add(outcome)
    print(report.totals.summary(balances, strict), file=report.out)
    return report.totals.status(strict)
