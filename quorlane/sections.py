"""Every section of a statement as it is written: the keys a Document leaves out, repeated keys, their lines.

read_sections(statement) reads the statement (bytes or str) once, as the package reads (statement_reading.py: as
quorlane_py.parse reads it, raising its exceptions as they are with their `diagnosis`, and a statement saved with a
byte order mark or in a declared cp866 too), into a SectionReading: `statement`, what quorlane_py.parse returns
(its warnings DroppedDocument pairs); `sections`, every
section in file order (the header first; documents that became warnings included); `header`, the header's
section; and `documents`, the section of each of statement.documents, in the same order. A Section has its
`kind` ("header", "account", "document"), `doc_type`, `start_line` and `end_line`, and its `attributes` as
(key, value) pairs in file order with repeated keys kept (`get(key)` gives the value the reader keeps,
`get_all(key)` every value)."""

from __future__ import annotations

from typing import Union

from . import _accel
from ._accel import Section, SectionReading
from .statement_reading import package_reading

__all__ = ["Section", "SectionReading", "read_sections"]


def read_sections(statement: Union[bytes, str]) -> SectionReading:
    """Every section of the statement as written, beside what quorlane_py.parse returns, in one reading."""
    with package_reading(statement):
        return _accel.read_sections(statement)
