import os
import subprocess
import sys

import pytest

import quorlane_py


@pytest.mark.slow
@pytest.mark.needs("stubtest")
def test_stub_matches_the_module(tmp_path):
    # No search path is given: stubtest finds the stub package where a type checker in user code finds it,
    # beside the module (site-packages after pip install, or the build tree on PYTHONPATH).
    env = dict(os.environ)
    env["MYPY_CACHE_DIR"] = str(tmp_path / "cache")
    env.pop("MYPYPATH", None)
    result = subprocess.run(
        [sys.executable, "-m", "mypy.stubtest", "quorlane_py"],
        env=env,
        cwd=tmp_path,
        capture_output=True,
        text=True,
        encoding="utf-8",
        errors="replace",
        timeout=300,
    )
    assert result.returncode == 0, f"module at {quorlane_py.__file__}\n{result.stdout}{result.stderr}"
