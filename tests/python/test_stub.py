import os
import shutil
import subprocess
import sys
from pathlib import Path

import pytest

import quorlane_py


def stub_directory():
    """The stub installed beside the module, or the one in the source tree."""
    beside = Path(quorlane_py.__file__).with_name("quorlane_py.pyi")
    if beside.exists():
        return beside.parent
    return Path(__file__).resolve().parents[2] / "python"


@pytest.mark.needs("stubtest")
def test_stub_matches_the_module(tmp_path):
    stub = stub_directory() / "quorlane_py.pyi"
    assert stub.exists()
    # mypy refuses site-packages on its search path, where the installed stub lives: check a copy of it.
    stubs = tmp_path / "stubs"
    stubs.mkdir()
    shutil.copy(stub, stubs)
    env = dict(os.environ)
    env["MYPYPATH"] = str(stubs)
    env["MYPY_CACHE_DIR"] = str(tmp_path / "cache")
    module_dir = str(Path(quorlane_py.__file__).parent)
    env["PYTHONPATH"] = os.pathsep.join(filter(None, [module_dir, env.get("PYTHONPATH")]))
    result = subprocess.run(
        [sys.executable, "-m", "mypy.stubtest", "quorlane_py"],
        env=env,
        cwd=tmp_path,
        capture_output=True,
        text=True,
        timeout=300,
    )
    assert result.returncode == 0, result.stdout + result.stderr
