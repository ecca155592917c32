"""Every section of a statement as it is written: the keys a Document leaves out, repeated keys, their lines."""

from __future__ import annotations

from typing import Tuple, Union

import quorlane_py

from . import diagnosis
from ._accel import Section

__all__ = ["Section", "SectionReading", "read_sections"]


class SectionReading:
    """A statement read whole: `statement`, what quorlane_py.parse returns; `sections`, every section in file order
    (the header first; documents that became warnings included); `header`, the header's section; and
    `documents`, the section of each of statement.documents, in the same order."""

    __slots__ = ("statement", "sections", "header", "documents")

    def __init__(self, statement: quorlane_py.Statement, sections: Tuple[Section, ...]) -> None:
        self.statement = statement
        self.sections = sections
        self.header = sections[0]
        # A document that became a warning is named by its closing line.
        dropped = {lineno for lineno, _ in statement.warnings}
        self.documents = tuple(s for s in sections if s.kind == "document" and s.end_line not in dropped)

    def __repr__(self) -> str:
        return (f"<SectionReading {self.statement.encoding}, {len(self.sections)} sections, "
                f"{len(self.documents)} documents>")


def read_sections(statement: Union[bytes, str]) -> SectionReading:
    """Reads the statement with quorlane_py.parse (raising its exceptions as they are, with their `diagnosis`),
    then every section of it as written, with the reader's own decoding and line rules: a section's `kind`
    ("header", "account", "document"), `doc_type`, `start_line` and `end_line`, and its `attributes` as (key,
    value) pairs in file order with repeated keys kept (`get(key)` gives the value the reader keeps, `get_all(key)`
    every value)."""
    parsed = diagnosis.parse(statement)
    read = _read(statement)
    return SectionReading(parsed, read[1])


def _read(statement: Union[bytes, str]) -> Tuple[str, Tuple[Section, ...]]:
    from ._accel import read_sections as read

    result = read(statement)
    if result is None:  # not reached for a statement that parse accepts
        raise ValueError("the statement's sections could not be read")
    return result
