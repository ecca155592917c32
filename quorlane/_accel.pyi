from collections.abc import Callable
from typing import Any, Literal, Optional, Union, final

import quorlane_py

from .errors import DroppedDocument

@final
class Section:
    """One section of a statement as written (quorlane.read_sections makes them)."""

    @property
    def kind(self) -> Literal["header", "account", "document"]:
        """"header", "account" or "document"."""
    @property
    def doc_type(self) -> Optional[str]:
        """A document's type, the text after "СекцияДокумент="; None for the other kinds."""
    @property
    def start_line(self) -> int:
        """The opening line: 1 for the header ("1CClientBankExchange"), "СекцияРасчСчет", "СекцияДокумент=..."."""
    @property
    def end_line(self) -> int:
        """The closing line: "КонецРасчСчет", "КонецДокумента"; the header's last attribute line."""
    @property
    def attributes(self) -> tuple[tuple[str, str], ...]:
        """The (key, value) pairs in file order, repeated keys kept, values as written."""
    @property
    def lines(self) -> tuple[int, ...]:
        """The line of each attribute, in the same order."""
    def get(self, key: str, default: Optional[str] = None, /) -> Optional[str]:
        """The key's last value (the one the reader keeps), or default."""
    def get_all(self, key: str, /) -> list[str]:
        """Every value of the key, in file order."""
    def interval(self) -> quorlane_py.Interval:
        """The quorlane_py.Interval an account section converts to, on its own (a statement's own
        intervals are merged by account); ValueError for another kind of section."""

@final
class SectionReading:
    """A statement read whole (quorlane.read_sections makes them): the statement as quorlane_py.parse returns
    it, and its sections as written."""

    @property
    def statement(self) -> quorlane_py.Statement:
        """The statement, as quorlane_py.parse returns it (read as the package reads: its `encoding` may be
        "cp866", its warnings are DroppedDocument pairs)."""
    @property
    def sections(self) -> tuple[Section, ...]:
        """Every section in file order: the header first; documents that became warnings included."""
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
    def num_rows(self) -> int:
        """The number of rows."""
    @property
    def column_names(self) -> tuple[str, ...]:
        """The columns' names, in order."""
    def __arrow_c_schema__(self) -> object: ...
    def __arrow_c_stream__(self, requested_schema: Optional[object] = None) -> object: ...

@final
class StatementTable:
    """The documents of a statement as an Arrow table, with its intervals and warnings (quorlane.read_table makes
    them)."""

    @property
    def encoding(self) -> str:
        """"utf-8", "cp1251" or "cp866" (a declared DOS, which the package reads)."""
    @property
    def documents(self) -> Table:
        """The documents' Table: one row per document of quorlane_py.parse, in the same order."""
    @property
    def intervals(self) -> Table:
        """The accounts' intervals as a Table."""
    @property
    def warnings(self) -> list[DroppedDocument]:
        """The documents the reader dropped: (lineno, message) pairs that also name the key and value."""
    @property
    def column_names(self) -> tuple[str, ...]:
        """The documents' columns' names, in order."""
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

class NotRendered(ValueError):
    """What render_documents raises for documents it leaves to the writer that explains every problem: a value
    that is not a str, holds a line break, NUL or a character the encoding lacks, or a date of another form."""

def read_statement(statement: Union[bytes, str], /) -> quorlane_py.Statement:
    """A statement (bytes or str) read as the package reads it (past a byte order mark, a declared cp866), as
    quorlane_py.parse returns it otherwise. Raises what quorlane_py.parse raises for the same reading."""
def read_sections(statement: Union[bytes, str], /) -> SectionReading:
    """A statement (bytes or str) read once, as a SectionReading: the statement as quorlane_py.parse returns it
    and every section as written. Raises what quorlane_py.parse raises for the same statement."""
def read_table(statement: Union[bytes, str, None], name: Optional[str], keys: Union[bool, tuple[str, ...], None],
               scale: Optional[int], batch_bytes: int, /) -> StatementTable:
    """A statement's tables, read once, as a StatementTable (without rows for the statement None). Raises what
    quorlane_py.parse raises for the same statement, and quorlane.TableError for a value no column can hold.
    `name`: the text of a "file" column, or None for none; `keys`: None, True (every key outside the
    fields) or a tuple of keys to add as text columns; `scale`: of the amount columns, or None for the
    finest written (at least 2); `batch_bytes`: the most bytes of text a column of one batch takes."""
def convert(statement: Union[bytes, str], target: Optional[str], newline: str, /) -> bytes:
    """The statement's own text (bytes or str, read once, as read_statement reads it) in `target` ("utf-8",
    "cp1251", "cp866", or None for its own encoding), each line ended by `newline` ("\\r\\n" or "\\n"), as
    bytes. Raises what read_statement raises, then quorlane.WriteError for what the text could not keep."""
def write_converted(statement: Union[bytes, str], target: Optional[str], newline: str,
                    write: Callable[[bytes], object], /) -> None:
    """What convert returns, handed to write(bytes) in pieces (of about a MiB) as it is converted, after the
    statement was read to the reader's verdict. Raises what convert raises, the WriteError perhaps after some
    pieces were written, and what write raises, which ends the conversion."""
def read_outline(statement: Union[bytes, str], sections: bool, /) -> Outline:
    """The statement (bytes or str) read to the reader's verdict, as read_statement reads it, as an Outline: the
    statement but for its documents, which are counted, and read again, a batch at a time, by
    Outline.read_documents; with `sections` true, the keys of the documents' sections too. Raises what
    read_statement raises."""
def render_documents(documents: list[Any], head: bytes, tail: bytes, names: tuple[str, ...],
                     keys: tuple[bytes, ...], dates: tuple[bool, ...], newline: bytes, closing: bytes,
                     encoding: str, /) -> bytes:
    """The bytes head, then for each document one line per attribute in `names` whose value is not None
    (its encoded key from `keys`, its value, converted from YYYY-MM-DD where `dates` says so, `newline`),
    then `closing` and `newline`; then tail, with values in `encoding` ("utf-8" or "cp1251"). A
    quorlane_py.Document whose class is untouched is written from its record. NotRendered when a value is not a
    str, holds a line break, NUL or a character the encoding lacks, or is a date of another form."""
def quoted(text: str, /) -> str:
    """The text in double quotes with backslash escapes, as the reader's messages show texts."""
def encode(text: str, encoding: str, /) -> bytes:
    """The text in "utf-8" or "cp1251" (windows-1251 by the reader's own table), as bytes; UnicodeEncodeError, as
    str.encode raises it, for the first character the encoding lacks."""
def plausible(text: str, /) -> bool:
    """Whether the reader takes text that did not arrive as UTF-8 for statement text: enough of its first
    PLAUSIBILITY_CHARS characters are letters, digits, punctuation and blanks."""
def dotted_date(iso: str, /) -> Optional[str]:
    """A date as Document attributes give it (YYYY-MM-DD, a signed year beyond 0..9999) as the format writes it
    (DD.MM.YYYY), or None for any other text."""
def iso_date(text: str, /) -> Optional[str]:
    """A date as the reader reads Document dates (DD.MM.YYYY and the forms it allows) as YYYY-MM-DD, or None for
    text that is no such date."""
def declares_dos(data: bytes, /) -> bool:
    """Whether the bytes are read as cp866 by the package: not UTF-8, and the header's Кодировка, written in cp866,
    says DOS."""
def line_feeds(data: bytes, /) -> int:
    """The number of line feeds in the bytes, counted a vector at a time."""
def key_column(key: str, /) -> str:
    """The name of a key's column: the key, or "key:" and the key where it is named like one of the table's own
    columns (or begins with "key:")."""

WINDOWS_1251: str
IBM866: str
ENCODING_KEY: str
LINE_BREAKS: str
PLAUSIBILITY_CHARS: int
PLAUSIBLE_PERCENT: int
MARKERS: tuple[str, ...]
DOCUMENT_TABLE: tuple[tuple[str, str, str], ...]
INTERVAL_TABLE: tuple[tuple[str, str, str], ...]
