"""Outputs written whole or not at all: each is made under a temporary name beside its target and moved into place
at the end; on a failure, Ctrl-C or SIGTERM the temporary is removed and the target is as it was."""

from __future__ import annotations

import importlib.util
import os
from collections.abc import Iterator
from contextlib import contextmanager

from .reading import Failed, refused, shown


def require(module: str, name: str, command: str, extra: str) -> None:
    """Failed, saying what to install, when the library that writes a command's output is missing. Only looked
    for, not imported: the commands import it where they write."""
    try:
        found = importlib.util.find_spec(module)
    except (ImportError, ValueError):  # a module set to None in sys.modules
        found = None
    if found is None:
        raise Failed(f"quorlane {command} needs {name}: pip install 'quorlane[{extra}]'")


@contextmanager
def replaced_file(target: str) -> Iterator[str]:
    """The path of a new file beside `target` to write; on leaving the block without an exception it replaces
    `target` (a symbolic link's target, as writing through the link would), keeping an earlier file's mode."""
    import tempfile  # here: the commands that write no file start without it

    target = os.path.realpath(target) if os.path.islink(target) else target
    folder, name = os.path.split(os.path.abspath(target))
    temporary = None
    try:  # the temporary is removed whatever happens, from the moment it is made
        try:
            handle, temporary = tempfile.mkstemp(prefix=f".{name}.", suffix=".tmp", dir=folder)
            os.close(handle)
            os.chmod(temporary, _mode(target, 0o666))
        except OSError as error:
            raise refused(target, error) from None
        yield temporary
        _moved(temporary, target)
    except BaseException:
        if temporary is not None:
            _remove(temporary)
        raise


@contextmanager
def replaced_folder(target: str) -> Iterator[str]:
    """The path of a new, empty folder beside `target` to fill; on leaving the block without an exception it
    becomes `target`. A target that holds anything is refused at the start, so that nothing of an earlier output
    is lost or mixed in; an empty one is replaced."""
    import shutil
    import tempfile

    temporary = None
    try:  # the temporary is removed whatever happens, from the moment it is made
        try:
            if os.path.isdir(target) and any(os.scandir(target)):
                raise Failed(shown(f"{target}: the folder is not empty"))
            folder, name = os.path.split(os.path.abspath(target))
            os.makedirs(folder, exist_ok=True)
            temporary = tempfile.mkdtemp(prefix=f".{name}.", suffix=".tmp", dir=folder)
            os.chmod(temporary, _mode(target, 0o777))
        except OSError as error:
            raise refused(target, error) from None
        yield temporary
        _moved(temporary, target, folder=True)
    except BaseException:
        if temporary is not None:
            shutil.rmtree(temporary, ignore_errors=True)
        raise


def _mode(target: str, default: int) -> int:
    """An existing target's permissions; else what the user's umask gives a new file or folder."""
    try:
        return os.stat(target).st_mode & 0o7777
    except OSError:
        mask = os.umask(0)
        os.umask(mask)
        return default & ~mask


def _moved(temporary: str, target: str, folder: bool = False) -> None:
    try:
        if folder and os.path.isdir(target):
            os.rmdir(target)  # empty, as checked at the start; refused if something was put there meanwhile
        os.replace(temporary, target)
    except OSError as error:
        raise refused(target, error) from None


def _remove(path: str) -> None:
    try:
        os.remove(path)
    except OSError:
        pass
