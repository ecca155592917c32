from typing import Any, Literal, Optional, Union, final, overload

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

@final
class Table:
    """An Arrow table of a statement (quorlane.read_table makes them)."""

    @property
    def num_rows(self) -> int: ...
    @property
    def column_names(self) -> tuple[str, ...]: ...
    def __arrow_c_schema__(self) -> object: ...
    def __arrow_c_stream__(self, requested_schema: Optional[object] = None) -> object: ...

def read_sections(statement: Union[bytes, str], /) -> Optional[tuple[str, tuple[Section, ...]]]: ...
_Read = tuple[Literal["read"], str, Table, Table, list[tuple[int, str]]]
_Refused = tuple[Literal["refused"], str, int, str, str]

@overload
def read_table(statement: None, name: Optional[str], keys: Union[bool, tuple[str, ...], None],
               scale: Optional[int], batch_bytes: int, /) -> _Read: ...
@overload
def read_table(statement: Union[bytes, str], name: Optional[str], keys: Union[bool, tuple[str, ...], None],
               scale: Optional[int], batch_bytes: int, /) -> Union[_Read, _Refused, None]: ...
def convert(statement: Union[bytes, str], target: str, newline: str, /) -> Union[
        bytes, tuple[str, int, int, int], tuple[str, None, None, None], None]: ...
def render_documents(documents: list[Any], head: bytes, tail: bytes, names: tuple[str, ...],
                     keys: tuple[bytes, ...], dates: tuple[bool, ...], newline: bytes, closing: bytes,
                     encoding: str, /) -> Optional[bytes]: ...
def quoted(text: str, /) -> str: ...
def plausible(text: str, /) -> bool: ...
def dotted_date(iso: str, /) -> Optional[str]: ...
def iso_date(text: str, /) -> Optional[str]: ...

WINDOWS_1251: str
LINE_BREAKS: str
PLAUSIBILITY_CHARS: int
MARKERS: tuple[str, ...]
DOCUMENT_FIELDS: tuple[tuple[str, str, str], ...]
