"""The suite runs on Windows too (the release CI tests each wheel there): a scan of the tests' sources for what
Windows lacks outside a test marked `posix`, and for text files handled in the platform's encoding and line
ends, which change a statement's bytes there."""

from __future__ import annotations

import ast
from pathlib import Path

TESTS = Path(__file__).resolve().parents[1]

POSIX_MODULES = {"pty", "tty", "termios", "fcntl", "resource", "pwd", "grp"}
POSIX_FUNCTIONS = {
    "os": {"mkfifo", "killpg", "setsid", "setpgid", "getpgid", "setpgrp", "fork", "forkpty", "openpty", "getuid",
           "geteuid"},
    "signal": {"alarm", "pause", "setitimer", "getitimer", "siginterrupt", "pthread_kill", "pthread_sigmask",
               "sigwait", "sigpending"},
}
POSIX_KEYWORDS = {"preexec_fn", "start_new_session", "process_group", "pass_fds"}
# Windows' signals; every other signal.SIG* is POSIX's alone.
WINDOWS_SIGNALS = {"SIGABRT", "SIGFPE", "SIGILL", "SIGINT", "SIGSEGV", "SIGTERM", "SIGBREAK", "SIG_DFL", "SIG_IGN"}


def _marked_posix(decorators: list[ast.expr]) -> bool:
    return any(isinstance(node, ast.Attribute) and node.attr == "posix"
               and isinstance(node.value, ast.Attribute) and node.value.attr == "mark"
               for decorator in decorators for node in ast.walk(decorator))


def _keyword(call: ast.Call, name: str) -> ast.expr | None:
    return next((k.value for k in call.keywords if k.arg == name), None)


def _text_file_problem(call: ast.Call) -> str | None:
    """What a call does with a text file that Windows would change: its encoding or its line ends."""
    name = call.func.attr if isinstance(call.func, ast.Attribute) else getattr(call.func, "id", None)
    if name == "write_text":  # Path.write_text translates "\n" (and takes no newline="" before 3.10)
        return "write_text (write bytes)"
    if name == "read_text" and _keyword(call, "encoding") is None:
        return "read_text without an encoding"
    if name == "open" and isinstance(call.func, ast.Name) and _keyword(call, "encoding") is None:
        mode = call.args[1] if len(call.args) > 1 else _keyword(call, "mode")
        if not (isinstance(mode, ast.Constant) and "b" in str(mode.value)):
            return "open in text mode without an encoding"
    for text in ("text", "universal_newlines"):  # a child's output read in the platform's encoding
        flag = _keyword(call, text)
        if isinstance(flag, ast.Constant) and flag.value is True and _keyword(call, "encoding") is None:
            return f"{text}=True without an encoding"
    return None


class Scan(ast.NodeVisitor):
    """Collects "line: what" for each use of a POSIX-only call outside a test marked posix, each POSIX-only
    module imported when the file is collected, and each text file opened the platform's way."""

    def __init__(self, module_marked: bool) -> None:
        self.problems: list[str] = []
        self.marked = [module_marked]
        self.depth = 0

    def report(self, node: ast.AST, what: str, posix: bool = True) -> None:
        if not (posix and self.marked[-1]):
            self.problems.append(f"{node.lineno}: {what}")

    def visit_scope(self, node: ast.FunctionDef | ast.AsyncFunctionDef | ast.ClassDef) -> None:
        self.marked.append(self.marked[-1] or _marked_posix(node.decorator_list))
        self.depth += 1
        self.generic_visit(node)
        self.depth -= 1
        self.marked.pop()

    visit_FunctionDef = visit_AsyncFunctionDef = visit_ClassDef = visit_scope

    def visit_imports(self, node: ast.Import | ast.ImportFrom) -> None:
        names = [node.module or ""] if isinstance(node, ast.ImportFrom) else [alias.name for alias in node.names]
        for name in names:
            if name.split(".")[0] in POSIX_MODULES:
                if self.depth == 0:
                    self.problems.append(f"{node.lineno}: import {name} at collection")
                else:
                    self.report(node, f"import {name}")
        if isinstance(node, ast.ImportFrom) and node.module in POSIX_FUNCTIONS:
            for alias in node.names:
                if alias.name in POSIX_FUNCTIONS[node.module]:
                    self.report(node, f"{node.module}.{alias.name}")
        self.generic_visit(node)

    visit_Import = visit_ImportFrom = visit_imports

    def visit_Attribute(self, node: ast.Attribute) -> None:
        if isinstance(node.value, ast.Name):
            module, name = node.value.id, node.attr
            if name in POSIX_FUNCTIONS.get(module, ()) or (
                    module == "signal" and name.startswith("SIG") and name not in WINDOWS_SIGNALS):
                self.report(node, f"{module}.{name}")
        self.generic_visit(node)

    def visit_Call(self, node: ast.Call) -> None:
        for keyword in node.keywords:
            if keyword.arg in POSIX_KEYWORDS:
                self.report(node, f"{keyword.arg}=")
        problem = _text_file_problem(node)
        if problem is not None:
            self.report(node, problem, posix=False)
        self.generic_visit(node)


def problems(source: str) -> list[str]:
    tree = ast.parse(source)
    module_marked = any(isinstance(node, ast.Assign) and _marked_posix([node.value])
                        and any(getattr(target, "id", None) == "pytestmark" for target in node.targets)
                        for node in tree.body)
    scan = Scan(module_marked)
    scan.visit(tree)
    return scan.problems


def test_what_windows_lacks_is_only_in_tests_marked_posix():
    # The scan itself, on a test of each kind.
    sample = '''
import pty
import subprocess, os, signal

def test_unmarked(tmp_path):
    os.mkfifo(tmp_path / "f")
    subprocess.run(["true"], start_new_session=True)
    os.kill(1, signal.SIGKILL)
    (tmp_path / "s.txt").write_text("1CClientBankExchange\\n")
    open(tmp_path / "s.txt").read(), subprocess.run(["true"], capture_output=True, text=True)

@pytest.mark.posix
def test_marked(tmp_path):
    import termios
    os.killpg(1, signal.SIGPIPE)
    subprocess.run(["true"], preexec_fn=os.setsid)
    open(tmp_path / "s.txt", "rb").read(), (tmp_path / "s.txt").read_text(encoding="utf-8")
'''
    assert problems(sample) == ["2: import pty at collection", "6: os.mkfifo", "7: start_new_session=",
                                "8: signal.SIGKILL", "9: write_text (write bytes)",
                                "10: open in text mode without an encoding", "10: text=True without an encoding"]
    found = [f"{path.relative_to(TESTS)}:{problem}" for path in sorted(TESTS.rglob("*.py"))
             for problem in problems(path.read_bytes().decode("utf-8"))]
    assert found == []
