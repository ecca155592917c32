"""The Pythons the release CI builds wheels for are the ones the package metadata names."""

from __future__ import annotations

import re
import subprocess
import sys

import pytest

from conftest import REPO

PYPROJECT = REPO / "pyproject.toml"


@pytest.mark.slow
@pytest.mark.skipif(not PYPROJECT.exists(), reason="run from a copy of the tests without the project")
def test_wheels_are_built_for_each_python_the_classifiers_name():
    pytest.importorskip("cibuildwheel")
    result = subprocess.run([sys.executable, "-m", "cibuildwheel", "--print-build-identifiers", "--platform", "linux",
                             "--archs", "x86_64"], cwd=REPO, capture_output=True, text=True, encoding="utf-8",
                            timeout=120)
    assert result.returncode == 0, result.stderr
    # One wheel per version, none of them free-threaded (cp314t) nor for musl.
    built = result.stdout.split()
    assert all(re.fullmatch(r"cp3\d+-manylinux_x86_64", name) for name in built), built
    named = re.findall(r'"Programming Language :: Python :: 3\.(\d+)"', PYPROJECT.read_text(encoding="utf-8"))
    assert [name.split("-")[0] for name in built] == [f"cp3{minor}" for minor in named]
    assert {"cp314", "cp315"} <= {name.split("-")[0] for name in built}
