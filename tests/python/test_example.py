import os
import subprocess
import sys
from pathlib import Path

import quorlane_py

SCRIPT = Path(__file__).resolve().parents[2] / "examples" / "show_statement.py"


def run(*args):
    env = dict(os.environ)
    env["PYTHONPATH"] = os.pathsep.join(filter(None, [str(Path(quorlane_py.__file__).parent), env.get("PYTHONPATH")]))
    env["PYTHONIOENCODING"] = "utf-8"
    return subprocess.run([sys.executable, str(SCRIPT), *map(str, args)], env=env, capture_output=True,
                          text=True, encoding="utf-8", timeout=60)


def test_sample_statement_is_shown():
    result = run()
    assert result.returncode == 0, result.stderr
    out = result.stdout
    for piece in ["Encoding: cp1251", "Accounts (2):", "  40702810438000123456", "Documents (3):",
                  "2024-03-05  94      Платежное поручение  96000.00", "Warnings (1):",
                  'line 118: invalid value: string "2 500,00", expected a Decimal type']:
        assert piece in out


def test_errors_show_message_and_line(tmp_path):
    bad = tmp_path / "bad.txt"
    bad.write_bytes("1CClientBankExchange\nА=1\nмусор\n".encode("cp1251"))
    result = run(bad)
    assert (result.returncode, result.stdout) == (1, "")
    assert result.stderr == f"{bad}:3: Unrecognized line: 'мусор'\n"

    bad.write_bytes(b"hello")
    assert run(bad).stderr == f"{bad}: Input is not a 1C statement\n"
