#!/usr/bin/env bash
# Runs a short part of the pytest suite under valgrind's memcheck against a plain (unsanitized) build of the
# module with debug information. Fails on any memcheck error or failing test.
#
#   tools/run_valgrind_python.sh [pytest arguments...]    (default: a subset that runs in a few minutes)
#
# Environment: BUILD_DIR (default build/valgrind-py), JOBS (default 2).
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD_DIR=${BUILD_DIR:-build/valgrind-py}
JOBS=${JOBS:-2}

cmake -S . -B "$BUILD_DIR" -DQUORLANE_SANITIZE=OFF -DQUORLANE_TESTS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD_DIR" -j "$JOBS" >/dev/null
module_dir="$PWD/$BUILD_DIR/python"

if [ "$#" -eq 0 ]; then
    set -- tests/python/test_results.py tests/python/test_hooks.py tests/python/test_errors_raised.py \
        tests/python/test_details.py tests/python/test_threads.py \
        "tests/python/test_fuzz_parse.py::test_mutated_real_statements" \
        "tests/python/test_fuzz_parse.py::test_hooks_never_escape"
    export QUORLANE_FUZZ_EXAMPLES=${QUORLANE_FUZZ_EXAMPLES:-40}
fi

# PYTHONMALLOC=malloc: objects come from malloc, so memcheck sees each one rather than the allocator's arenas.
# Leaks are not checked: the interpreter keeps memory until exit by design.
export PYTHONMALLOC=malloc
export PYTHONPATH="$module_dir${PYTHONPATH:+:$PYTHONPATH}"
python3 -c 'import sys, quorlane_py; assert quorlane_py.__file__.startswith(sys.argv[1]), quorlane_py.__file__' \
    "$module_dir"

# The interpreter's own binary: a launcher script in front of it would be all that valgrind watches.
python=$(python3 -c 'import sys; print(sys.executable)')
exec valgrind --tool=memcheck --error-exitcode=1 --leak-check=no --track-origins=yes --num-callers=30 \
    --suppressions=tools/valgrind-python.supp -q "$python" -m pytest -q -p no:cacheprovider "$@"
