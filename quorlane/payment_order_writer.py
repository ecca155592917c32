"""Writing payment orders for the bank: a file with the standard header and one document section each."""

from __future__ import annotations

from collections.abc import Iterable
from datetime import date, datetime
from typing import TYPE_CHECKING, BinaryIO

from . import _text
from .errors import WriteError
from .payment_order_checks import validate_outgoing
from .payment_order_fields import document_pairs, dotted
from .payment_orders import OutgoingDocument, plain

if TYPE_CHECKING:
    from .bic_directory import BicDirectory

__all__ = ["dumps_outgoing", "dump_outgoing"]

FORMAT_VERSION = "1.03"


def dumps_outgoing(documents: Iterable[OutgoingDocument], *, sender: str, recipient: str = "",
                   created: datetime | None = None, date_start: date | None = None, date_end: date | None = None,
                   encoding: str = "cp1251", purpose_lines: str = "refuse",
                   directory: BicDirectory | None = None) -> bytes:
    """A file of payment orders for the bank (1c_to_kl.txt), as bytes with CRLF line ends.

    The header in the standard's order: ВерсияФормата 1.03, Кодировка Windows, Отправитель `sender` (your
    program; required), Получатель `recipient`, ДатаСоздания and ВремяСоздания from `created` (default: now),
    ДатаНачала and ДатаКонца (default: the earliest and latest document date), one РасчСчет per payer account
    and one Документ per kind, in order of first appearance. Then one section per document, its keys in the
    standard order. `encoding` is "cp1251" (the banks' custom) or "utf-8"; `purpose_lines` and `directory` (the
    БИК directory to check the banks against) as for validate_outgoing.

    Raises the first error validate_outgoing reports (a WriteError); nothing is written then. Warnings do not
    stop the writing: see them with validate_outgoing.
    """
    documents = list(documents)
    encoding = _text.encoding_name(encoding)
    sender, recipient = _header_text("sender", sender), _header_text("recipient", recipient)
    problems = [problem for problem in validate_outgoing(documents, encoding=encoding, purpose_lines=purpose_lines,
                                                         directory=directory) if isinstance(problem, WriteError)]
    created = datetime.now() if created is None else created
    header = [
        ("ВерсияФормата", FORMAT_VERSION), ("Кодировка", "Windows"), ("Отправитель", sender),
        ("Получатель", recipient), ("ДатаСоздания", dotted(created)), ("ВремяСоздания", f"{created:%H:%M:%S}"),
    ]
    if documents:
        header += [("ДатаНачала", dotted(date_start or min(d.date for d in documents))),
                   ("ДатаКонца", dotted(date_end or max(d.date for d in documents)))]
    header += [("РасчСчет", account) for account in dict.fromkeys(d.payer.account for d in documents)]
    header += [("Документ", kind.value) for kind in dict.fromkeys(d.kind for d in documents)]
    header_problems = [] if sender else [WriteError("header", "Отправитель", '"Отправитель" is required and empty',
                                                    code="required")]
    for key, value in header:
        header_problems += [*_text.value_problems("header", key, value, hint=False),
                            *_text.encoding_problems("header", key, value, encoding)]
    if header_problems or problems:
        raise (header_problems + problems)[0]

    lines = [_text.FILE_START, *(f"{key}={value}" for key, value in header)]
    split = purpose_lines == "split"
    for document in documents:
        lines.append(f"{_text.DOCUMENT_START}={document.kind.value}")
        lines.extend(f"{key}={value}" for key, value in document_pairs(document, split_purpose=split))
        lines.append(_text.DOCUMENT_END)
    lines.append(_text.FILE_END)
    return _text.encode("\r\n".join(lines) + "\r\n", encoding)


def _header_text(name: str, value: object) -> str:
    if not isinstance(value, str):
        raise TypeError(f"{name} must be str, not {type(value).__name__}")
    return plain(value)


def dump_outgoing(documents: Iterable[OutgoingDocument], fp: BinaryIO, **options: object) -> None:
    """Writes dumps_outgoing(documents, **options) to the binary file object `fp`."""
    fp.write(dumps_outgoing(documents, **options))  # type: ignore[arg-type]
