from collections.abc import Callable
from typing import Any, Literal, Optional, Union, final

import quorlane_py

@final
class Section:
    """One section of a statement as written (quorlane.read_sections makes them)."""

    @property
    def kind(self) -> Literal["header", "account", "document"]:
        """"header", "account" or "document"."""
    @property
    def doc_type(self) -> Optional[str]:
        """The text after "СекцияДокумент="; None for the header and account sections."""
    @property
    def start_line(self) -> int:
        """The opening line (the header's first attribute line), counting from 1."""
    @property
    def end_line(self) -> int:
        """The closing line (the header's last attribute line)."""
    @property
    def attributes(self) -> tuple[tuple[str, str], ...]:
        """(key, value) pairs in file order, repeated keys kept."""
    @property
    def lines(self) -> tuple[int, ...]:
        """The line of each attribute."""
    def get(self, key: str, default: Optional[str] = None, /) -> Optional[str]:
        """The value the reader keeps for the key: its last."""
    def get_all(self, key: str, /) -> list[str]:
        """Every value of the key, in file order."""
    def interval(self) -> quorlane_py.Interval:
        """An account section's interval, as the reader converts it."""

@final
class SectionReading:
    """A statement read whole (quorlane.read_sections makes them)."""

    @property
    def statement(self) -> quorlane_py.Statement:
        """What quorlane_py.parse returns for the statement."""
    @property
    def sections(self) -> tuple[Section, ...]:
        """Every section in file order, the header first; documents that became warnings included."""
    @property
    def header(self) -> Section:
        """The header's section."""
    @property
    def documents(self) -> tuple[Section, ...]:
        """The section of each of statement.documents, in the same order."""

@final
class Table:
    """An Arrow table of a statement (quorlane.read_table makes them)."""

    @property
    def num_rows(self) -> int: ...
    @property
    def column_names(self) -> tuple[str, ...]: ...
    def __arrow_c_schema__(self) -> object: ...
    def __arrow_c_stream__(self, requested_schema: Optional[object] = None) -> object: ...

@final
class StatementTable:
    """The documents of a statement as an Arrow table, with its intervals and warnings (quorlane.read_table makes
    them)."""

    @property
    def encoding(self) -> str: ...
    @property
    def documents(self) -> Table: ...
    @property
    def intervals(self) -> Table: ...
    @property
    def warnings(self) -> list[tuple[int, str]]: ...
    @property
    def column_names(self) -> tuple[str, ...]: ...
    def __len__(self) -> int: ...
    def __arrow_c_schema__(self) -> object: ...
    def __arrow_c_stream__(self, requested_schema: Optional[object] = None) -> object: ...

@final
class Outline:
    """A statement read to the reader's verdict, its documents counted and to be read again (read_outline makes
    them)."""

    @property
    def statement(self) -> quorlane_py.Statement:
        """What quorlane_py.parse returns for the statement, but for its documents: read_documents gives them."""
    @property
    def count(self) -> int:
        """The number of the statement's documents."""
    @property
    def keys(self) -> tuple[str, ...]:
        """Every key of the documents' sections, in the order of its first appearance (empty without sections)."""
    @property
    def sections(self) -> Optional[tuple[Section, ...]]:
        """The header's, the accounts' and the dropped documents' sections, in file order; None without sections."""
    def read_documents(self, take: Callable[[list[quorlane_py.Document], Optional[tuple[Section, ...]]], object],
                       size: int, /) -> None:
        """Reads the statement again and calls take(documents, sections) for each batch of at most `size`."""

class NotRendered(ValueError): ...

def read_sections(statement: Union[bytes, str], /) -> SectionReading: ...
def read_table(statement: Union[bytes, str, None], name: Optional[str], keys: Union[bool, tuple[str, ...], None],
               scale: Optional[int], batch_bytes: int, /) -> StatementTable: ...
def convert(statement: Union[bytes, str], target: Optional[str], newline: str, /) -> bytes: ...
def write_converted(statement: Union[bytes, str], target: Optional[str], newline: str,
                    write: Callable[[bytes], object], /) -> None: ...
def read_outline(statement: Union[bytes, str], sections: bool, /) -> Outline: ...
def render_documents(documents: list[Any], head: bytes, tail: bytes, names: tuple[str, ...],
                     keys: tuple[bytes, ...], dates: tuple[bool, ...], newline: bytes, closing: bytes,
                     encoding: str, /) -> bytes: ...
def quoted(text: str, /) -> str: ...
def encode(text: str, encoding: str, /) -> bytes: ...
def plausible(text: str, /) -> bool: ...
def dotted_date(iso: str, /) -> Optional[str]: ...
def iso_date(text: str, /) -> Optional[str]: ...

WINDOWS_1251: str
LINE_BREAKS: str
PLAUSIBILITY_CHARS: int
PLAUSIBLE_PERCENT: int
MARKERS: tuple[str, ...]
DOCUMENT_TABLE: tuple[tuple[str, str, str], ...]
INTERVAL_TABLE: tuple[tuple[str, str, str], ...]
