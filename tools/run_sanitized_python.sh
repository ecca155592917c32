#!/usr/bin/env bash
# Builds the Python module with AddressSanitizer and UndefinedBehaviorSanitizer and runs the whole pytest suite
# against it. Fails when any test fails or any sanitizer reports an error.
#
#   tools/run_sanitized_python.sh [pytest arguments...]
#
# Environment: BUILD_DIR (default build/asan-py), JOBS (default 2).
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD_DIR=${BUILD_DIR:-build/asan-py}
JOBS=${JOBS:-2}

cmake -S . -B "$BUILD_DIR" -DQUORLANE_SANITIZE=ON -DQUORLANE_TESTS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD_DIR" -j "$JOBS" >/dev/null

# The sanitized modules where Python finds them: quorlane_py with its stub package, and the package quorlane
# (its sources, linked) with its extension.
module_dir="$PWD/$BUILD_DIR/site"
rm -rf "$module_dir"
mkdir -p "$module_dir/quorlane"
ln -s "$PWD/$BUILD_DIR"/python/quorlane_py*.so "$PWD/$BUILD_DIR"/python/quorlane_py-stubs "$module_dir/"
for entry in "$PWD"/quorlane/*; do ln -s "$entry" "$module_dir/quorlane/"; done
ln -s "$PWD/$BUILD_DIR"/accel/_accel*.so "$module_dir/quorlane/"
# The interpreter is not built with the sanitizer, so its runtime has to be loaded before anything else.
preload="$(g++ -print-file-name=libasan.so) $(g++ -print-file-name=libubsan.so)"

# detect_leaks=0: the interpreter keeps much of its memory until the process ends and frees none of it at exit,
# so a leak check at exit reports the interpreter itself. Leaks of the module are caught by the reference-count
# and memory tests of the suite instead.
export ASAN_OPTIONS="detect_leaks=0:halt_on_error=1:abort_on_error=0:exitcode=86:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:exitcode=87"
# Every Python object goes through malloc, so the sanitizer also sees use-after-free of objects.
export PYTHONMALLOC=malloc
export PYTHONPATH="$module_dir${PYTHONPATH:+:$PYTHONPATH}"

(cd "$module_dir" && LD_PRELOAD="$preload" python3 -c '
import sys, quorlane_py, quorlane._accel
for module in (quorlane_py, quorlane._accel):
    where = module.__file__
    assert where.startswith(sys.argv[1]), f"not the sanitized module: {where}"
    print("sanitized module:", where)
' "$module_dir")

log=$(mktemp)
trap 'rm -f "$log"' EXIT
status=0
# Left out: the tests that hand our output to programs of their own (Spark's JVM, LibreOffice), which do not run
# with the sanitizers' runtime preloaded into them; what they are handed is made by code the rest checks.
outside=(--deselect tests/python/test_recipes.py::test_the_spark_recipe
         --deselect tests/python/test_spreadsheets.py::test_a_spreadsheet_shows_what_the_statement_says)
LD_PRELOAD="$preload" python3 -m pytest -q -p no:cacheprovider "${outside[@]}" "$@" 2>&1 | tee "$log" || status=$?
if grep -qE 'ERROR: AddressSanitizer|runtime error:|ERROR: LeakSanitizer' "$log"; then
    echo "sanitizer reported an error" >&2
    exit 1
fi
exit "$status"
