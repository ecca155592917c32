"""The Bank of Russia's directory of БИКs (ED807, namespace urn:cbr-ru:ed:v2.0), published daily: every
participant of its payment system with its name, place, dates and accounts. The checks of payment orders take it
to catch what no check digit can: a БИК that does not exist or no longer works, a correspondent account that is
not its bank's.

The file is read with the standard library's XML parser (expat) as a stream of elements, in either of its
encodings (windows-1251, as published, or UTF-8), bare or in the zip archive it is published in.
"""

from __future__ import annotations

import dataclasses
import io
import os
import re
import zipfile
from collections.abc import Iterator, Mapping
from dataclasses import dataclass
from datetime import date
from typing import IO, Any, Optional, Union
from xml.parsers import expat

from .payment_orders import Bank, OutgoingDocument

__all__ = ["BicDirectory", "Participant", "DirectoryAccount", "DirectoryError", "read_bic_directory"]

NAMESPACE = "urn:cbr-ru:ed:v2.0"
# Account types whose number a payment order writes as its bank's correspondent account: a credit institution's
# correspondent account, and the single treasury account (ЕКС) of a treasury body.
CORRESPONDENT_TYPES = ("CRSA", "UTRA")
DELETED = ("PSDL", "ACDL")  # the statuses of a participant and of an account that the directory has removed
FULL_DIRECTORY = "FIRR"  # InfoTypeCode of the whole directory (a file of changes alone has another)
_BIC = re.compile(r"[0-9]{9}")
_DATE = re.compile(r"[0-9]{4}-[0-9]{2}-[0-9]{2}")
_CHUNK = 1 << 16


class DirectoryError(ValueError):
    """A file that is not a БИК directory this package reads: not well-formed XML, no ED807 element, a file of
    changes rather than the whole directory, or an entry it cannot hold (no БИК, a date that is none). `line`
    and `column` (counting from 1) locate it in the XML text, or are None."""

    def __init__(self, message: str, line: Optional[int] = None, column: Optional[int] = None) -> None:
        self.message, self.line, self.column = message, line, column
        where = f"line {line}, column {column}: " if line is not None else ""
        super().__init__(where + message)

    def __reduce__(self):  # type: ignore[no-untyped-def]
        return (type(self), (self.message, self.line, self.column))


@dataclass(frozen=True)
class DirectoryAccount:
    """An account of a participant (element Accounts): `number` (Account), `type` (RegulationAccountType: CRSA a
    correspondent account, UTRA a treasury body's single treasury account, ...), `status` (AccountStatus: ACAC
    active, ACDL removed), `opened` and `closed` (DateIn, DateOut; None when not given)."""

    number: str
    type: str
    status: str
    opened: Optional[date]
    closed: Optional[date]

    def active_on(self, day: date) -> bool:
        return _active(self.status, self.opened, self.closed, day)


@dataclass(frozen=True)
class Participant:
    """One entry of the directory (BICDirectoryEntry with its ParticipantInfo): `bic`, `name` (NameP),
    `place_type` and `place` (Tnp and Nnp: "г" and "Москва"), `type` (PtType: 20 a credit institution, 52 a
    treasury body, ...), `status` (ParticipantStatus: PSAC active, PSDL removed), `opened` and `closed` (DateIn,
    DateOut; None when not given), and its `accounts`."""

    bic: str
    name: str
    place_type: str
    place: str
    type: str
    status: str
    opened: Optional[date]
    closed: Optional[date]
    accounts: tuple[DirectoryAccount, ...]

    @property
    def city(self) -> str:
        """The place as a payment order writes the bank's city (ПлательщикБанк2): "г Москва"."""
        return f"{self.place_type} {self.place}".strip()

    def active_on(self, day: date) -> bool:
        """Whether the participant takes payments on the day: opened by then, not closed (DateOut is its first day
        out), not removed."""
        return _active(self.status, self.opened, self.closed, day)

    def accounts_on(self, day: date) -> tuple[DirectoryAccount, ...]:
        return tuple(account for account in self.accounts if account.active_on(day))

    def corr_account(self, day: date) -> str:
        """The account a payment order names as this bank's correspondent account on the day: its correspondent
        account, or a treasury body's ЕКС; "" for one that has none (a division of the Bank of Russia)."""
        for wanted in CORRESPONDENT_TYPES:
            for account in self.accounts_on(day):
                if account.type == wanted:
                    return account.number
        return ""

    def bank(self, day: Optional[date] = None) -> Bank:
        """The participant as a party's Bank of a payment order dated `day` (default: today): its name, city, БИК
        and correspondent account."""
        return Bank(name=self.name, city=self.city, bic=self.bic,
                    corr_account=self.corr_account(date.today() if day is None else day))


def _active(status: str, opened: Optional[date], closed: Optional[date], day: date) -> bool:
    if opened is not None and day < opened:
        return False
    if closed is not None:
        return day < closed
    return status not in DELETED


class BicDirectory(Mapping[str, Participant]):
    """The directory: a read-only mapping of БИК to Participant, with `day`, the business day it describes
    (BusinessDay of ED807; None when not given). read_bic_directory makes one."""

    def __init__(self, participants: Mapping[str, Participant], day: Optional[date]) -> None:
        self._participants = dict(participants)
        self.day = day

    def __getitem__(self, bic: str) -> Participant:
        return self._participants[bic]

    def __iter__(self) -> Iterator[str]:
        return iter(self._participants)

    def __len__(self) -> int:
        return len(self._participants)

    def __repr__(self) -> str:
        day = "no day" if self.day is None else self.day.isoformat()
        return f"<BicDirectory of {day}: {len(self)} participants>"

    def fill(self, document: OutgoingDocument) -> OutgoingDocument:
        """The document with its parties' empty bank name, city and correspondent account filled from the
        directory by each bank's БИК (the accounts active on the document's date); what is filled in already is
        kept, for validate_outgoing(directory=...) to compare, and a БИК the directory lacks is left for it to
        report."""
        parties = {}
        for role in ("payer", "payee"):
            party = getattr(document, role)
            participant = self.get(party.bank.bic)
            if participant is None:
                continue
            known = participant.bank(document.date)
            bank = dataclasses.replace(party.bank, name=party.bank.name or known.name,
                                       city=party.bank.city or known.city,
                                       corr_account=party.bank.corr_account or known.corr_account)
            if bank != party.bank:
                parties[role] = dataclasses.replace(party, bank=bank)
        return dataclasses.replace(document, **parties) if parties else document


Source = Union[bytes, str, "os.PathLike[str]"]


def read_bic_directory(source: Source) -> BicDirectory:
    """The directory of an ED807 file: its path (the .xml, or the .zip the Bank of Russia publishes it in, with
    one .xml inside), or its bytes. Raises DirectoryError for what is not the whole directory in the layout of
    urn:cbr-ru:ed:v2.0, and OSError when the file cannot be read."""
    if isinstance(source, bytes):
        return _read_stream(io.BytesIO(source))
    with open(os.fspath(source), "rb") as file:
        return _read_stream(file)


def _read_stream(file: IO[bytes]) -> BicDirectory:
    if file.read(4) != b"PK\x03\x04":
        file.seek(0)
        return _Reading().read(file)
    file.seek(0)
    try:
        with zipfile.ZipFile(file) as archive:
            names = [name for name in archive.namelist() if name.lower().endswith(".xml")]
            if len(names) != 1:
                raise DirectoryError(f"a zip archive of the directory holds one .xml file, this one {len(names)}")
            with archive.open(names[0]) as xml:
                return _Reading().read(xml)
    except zipfile.BadZipFile as error:
        raise DirectoryError(f"not a readable zip archive: {error}") from None


class _Reading:
    """The state of one reading: expat calls start and end for each element, in file order."""

    def __init__(self) -> None:
        self.parser = expat.ParserCreate(namespace_separator=" ")
        self.parser.StartElementHandler = self.start
        self.parser.EndElementHandler = self.end
        # A directory has no document type; refusing one keeps entity expansion out of the reading.
        self.parser.StartDoctypeDeclHandler = self.refuse_doctype
        self.depth = 0
        self.directory_depth: Optional[int] = None  # the depth of the ED807 element, once inside it
        self.day: Optional[date] = None
        self.participants: dict[str, Participant] = {}
        self.places: dict[str, tuple[int, int]] = {}  # where each БИК's entry starts
        # The entry being read: its БИК, its ParticipantInfo's fields, its accounts.
        self.bic: Optional[str] = None
        self.info: Optional[dict[str, Any]] = None
        self.accounts: list[DirectoryAccount] = []

    def read(self, file: IO[bytes]) -> BicDirectory:
        try:
            while True:
                chunk = file.read(_CHUNK)
                self.parser.Parse(chunk, not chunk)
                if not chunk:
                    break
        except expat.ExpatError as error:
            raise DirectoryError(f"not well-formed XML: {expat.ErrorString(error.code)}", error.lineno,
                                 error.offset + 1) from None
        if self.directory_depth is None:
            raise DirectoryError(f"no ED807 element of {NAMESPACE}: not a БИК directory")
        return BicDirectory(self.participants, self.day)

    def place(self) -> tuple[int, int]:
        return self.parser.CurrentLineNumber, self.parser.CurrentColumnNumber + 1

    def fail(self, message: str, place: Optional[tuple[int, int]] = None) -> DirectoryError:
        return DirectoryError(message, *(place or self.place()))

    def refuse_doctype(self, *_: object) -> None:
        raise self.fail("a БИК directory has no document type declaration")

    def start(self, name: str, attributes: dict[str, str]) -> None:
        self.depth += 1
        namespace, _, local = name.rpartition(" ")
        if namespace != NAMESPACE:
            return
        if local == "ED807" and self.directory_depth is None:
            self.directory_depth = self.depth
            kind = attributes.get("InfoTypeCode", FULL_DIRECTORY)
            if kind != FULL_DIRECTORY:
                raise self.fail(f"InfoTypeCode {kind!r}: the file holds changes, not the whole directory "
                                f"({FULL_DIRECTORY})")
            self.day = self.date(attributes, "BusinessDay") or self.date(attributes, "EDDate")
        elif self.directory_depth is None:
            return
        elif local == "BICDirectoryEntry" and self.depth == self.directory_depth + 1:
            self.start_entry(attributes.get("BIC", ""))
        elif self.bic is not None and self.depth == self.directory_depth + 2:
            if local == "ParticipantInfo":
                self.info = dict(name=attributes.get("NameP", ""), place_type=attributes.get("Tnp", ""),
                                 place=attributes.get("Nnp", ""), type=attributes.get("PtType", ""),
                                 status=attributes.get("ParticipantStatus", ""),
                                 opened=self.date(attributes, "DateIn"), closed=self.date(attributes, "DateOut"))
            elif local == "Accounts":
                number = attributes.get("Account", "")
                if not number:
                    raise self.fail("an Accounts element without Account")
                self.accounts.append(DirectoryAccount(
                    number=number, type=attributes.get("RegulationAccountType", ""),
                    status=attributes.get("AccountStatus", ""), opened=self.date(attributes, "DateIn"),
                    closed=self.date(attributes, "DateOut")))

    def start_entry(self, bic: str) -> None:
        if not _BIC.fullmatch(bic):
            raise self.fail(f"BICDirectoryEntry's BIC must be 9 digits, not {bic!r}")
        if bic in self.places:
            raise self.fail(f"БИК {bic} has a second entry (the first at line {self.places[bic][0]})")
        self.places[bic] = self.place()
        self.bic, self.info, self.accounts = bic, None, []

    def end(self, name: str) -> None:
        self.depth -= 1
        if self.bic is None or self.directory_depth is None or self.depth != self.directory_depth:
            return
        bic, self.bic = self.bic, None
        if self.info is None:
            raise self.fail(f"the entry of БИК {bic} has no ParticipantInfo", self.places[bic])
        self.participants[bic] = Participant(bic=bic, accounts=tuple(self.accounts), **self.info)

    def date(self, attributes: dict[str, str], name: str) -> Optional[date]:
        text = attributes.get(name)
        if text is None:
            return None
        try:
            if _DATE.fullmatch(text):
                return date.fromisoformat(text)
        except ValueError:
            pass
        raise self.fail(f"{name} must be a date YYYY-MM-DD, not {text!r}")
