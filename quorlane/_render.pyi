from typing import Any

def render_documents(documents: list[Any], head: bytes, tail: bytes, names: tuple[str, ...],
                     keys: tuple[bytes, ...], dates: tuple[bool, ...], newline: bytes, closing: bytes,
                     table: str | None, /) -> bytes | None: ...
