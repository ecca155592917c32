"""quorlane: writing 1CClientBankExchange files, conversions and a command line, beside the reader quorlane_py.

- dumps(statement) / dump(statement, fp): a statement that quorlane_py.parse returned, written back so that it
  reads back equal.
- OutgoingDocument, Party, Bank, Budget, Kind; validate_outgoing(documents) and dumps_outgoing(documents, ...)
  / dump_outgoing(...): payment orders for the bank (1c_to_kl.txt).
- to_dict(statement): the statement as a JSON-ready dict.
- WriteError: what the format cannot hold.
- The command line: `quorlane --help` or `python -m quorlane --help`.
"""

from .conversions import to_dict
from .errors import WriteError
from .payment_orders import Bank, Budget, Kind, OutgoingDocument, Party
from .payment_order_checks import validate_outgoing
from .payment_order_writer import dump_outgoing, dumps_outgoing
from .statement_writer import dump, dumps

__all__ = [
    "dumps", "dump", "WriteError", "to_dict",
    "Kind", "Bank", "Party", "Budget", "OutgoingDocument", "validate_outgoing", "dumps_outgoing", "dump_outgoing",
]
