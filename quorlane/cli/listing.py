"""The statement files that the paths of a command name: each file once, and a line for each folder that could not
be listed."""

from __future__ import annotations

import os
from collections.abc import Iterable
from fnmatch import fnmatchcase
from typing import NamedTuple

from .reading import Failed, shown


class Listing(NamedTuple):
    files: list[str]  # each file once, by the name it was first met under
    failures: list[str]  # "folder: reason", one per folder that could not be listed


def statement_files(paths: Iterable[str], pattern: str) -> Listing:
    """The files named, and the files below the folders named whose names match `pattern` without regard to case
    (KL_TO_1C.TXT is a *.txt), in sorted order within each folder. Folders are followed through symbolic links.

    A file met more than once (overlapping folders, ./x and x, a link to a file already met) is listed once: files
    are told apart by their real paths. A path that does not exist, a broken link or a loop of links is listed,
    to fail when it is read; special files (pipes, devices) in folders are left out, named ones are read."""
    pattern = pattern.lower()
    listing = Listing([], [])
    seen: set[str] = set()
    folders_seen: set[str] = set()

    def unlisted(error: OSError) -> None:
        listing.failures.append(shown(f"{error.filename}: {error.strerror or error}"))

    def add(path: str) -> None:
        real = path if path == "-" else os.path.realpath(path)
        if real not in seen:
            seen.add(real)
            listing.files.append(path)

    for path in paths:
        if path == "-" or not os.path.isdir(path):
            add(path)
            continue
        found: list[str] = []
        for folder, folders, names in os.walk(path, onerror=unlisted, followlinks=True):
            real = os.path.realpath(folder)
            if real in folders_seen:  # a loop of links, or a folder met before: its files are listed already
                folders[:] = []
                continue
            folders_seen.add(real)
            found.extend(os.path.join(folder, name) for name in names if fnmatchcase(name.lower(), pattern))
        for file in sorted(found):
            if os.path.isfile(file) or not os.path.exists(file):
                add(file)
    return listing


def nothing_matched(paths: Iterable[str], pattern: str) -> Failed:
    return Failed(shown(f"{', '.join(paths)}: no file matches {pattern}"))
