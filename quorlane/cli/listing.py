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

    A file met more than once (overlapping folders, ./x and x, a symbolic or hard link to a file already met) is
    listed once: files, and folders, are told apart by what they are on their device (a path that cannot be looked
    at, by its real path). A path that does not exist, a broken link or a loop of links is listed,
    to fail when it is read; special files (pipes, devices) in folders are left out, named ones are read."""
    pattern = pattern.lower()
    listing = Listing([], [])
    seen: set[object] = set()
    folders_seen: set[object] = set()

    def unlisted(error: OSError) -> None:
        listing.failures.append(shown(f"{error.filename}: {error.strerror or error}"))

    def add(path: str) -> None:
        identity = path if path == "-" else _identity(path)
        if identity not in seen:
            seen.add(identity)
            listing.files.append(path)

    for path in paths:
        if path == "-" or not os.path.isdir(path):
            add(path)
            continue
        found: list[str] = []
        for folder, folders, names in os.walk(path, onerror=unlisted, followlinks=True):
            identity = _identity(folder)
            if identity in folders_seen:  # a loop of links, or a folder met before: its files are listed already
                folders[:] = []
                continue
            folders_seen.add(identity)
            found.extend(os.path.join(folder, name) for name in names if fnmatchcase(name.lower(), pattern))
        for file in sorted(found):
            if os.path.isfile(file) or not os.path.exists(file):
                add(file)
    return listing


def _identity(path: str) -> object:
    """What tells a file or folder apart from every other: its device and inode, whatever name or link it is met
    under (a hard link too); for a path that cannot be looked at (missing, a broken link), its real path."""
    try:
        status = os.stat(path)
    except (OSError, ValueError):
        return os.path.realpath(path)
    return status.st_dev, status.st_ino


def nothing_matched(paths: Iterable[str], pattern: str) -> Failed:
    return Failed(shown(f"{', '.join(paths)}: no file matches {pattern}"))
