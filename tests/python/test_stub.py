import os
import subprocess
import sys

import pytest

import quorlane_py


# No search path is given: stubtest finds each stub where a type checker in user code finds it, beside its module
# (site-packages after pip install, or the build tree on PYTHONPATH).
@pytest.mark.slow
@pytest.mark.needs("stubtest")
@pytest.mark.parametrize("module", ["quorlane_py", "quorlane._accel"])
def test_stub_matches_the_module(tmp_path, module):
    env = dict(os.environ)
    env["MYPY_CACHE_DIR"] = str(tmp_path / "cache")
    env.pop("MYPYPATH", None)
    result = subprocess.run(
        [sys.executable, "-m", "mypy.stubtest", module],
        env=env,
        cwd=tmp_path,
        capture_output=True,
        text=True,
        encoding="utf-8",
        errors="replace",
        timeout=300,
    )
    assert result.returncode == 0, f"module at {quorlane_py.__file__}\n{result.stdout}{result.stderr}"
