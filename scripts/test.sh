#!/usr/bin/env bash
# Checks the sources' format, builds everything from scratch with warnings as errors and runs
# every test twice: once in the normal build and once with AddressSanitizer and
# UndefinedBehaviorSanitizer, where any report fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
# The folders include one another one way only (see docs/architecture.md).
python3 scripts/check-includes.py
# The print test prints for real, on a PDF printer of a CUPS server started here when none runs.
bash scripts/cups-pdf.sh start || echo "no PDF printer: the real print test will be skipped"
trap 'bash scripts/cups-pdf.sh stop' EXIT
jobs="$(nproc)"
export QT_QPA_PLATFORM=offscreen

# Every tracked source keeps the committed .clang-format style.
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror

# Both builds treat a compiler warning in our code as an error.
rm -rf build-test build-asan
cmake -S . -B build-test -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSAVUE_WERROR=ON >/dev/null
cmake --build build-test -j"$jobs"
(cd build-test && ctest --output-on-failure --timeout 600)

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DTESSAVUE_SANITIZE=ON -DTESSAVUE_WERROR=ON \
  >/dev/null
cmake --build build-asan -j"$jobs"
export ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:detect_leaks=1"
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
(cd build-asan && ctest --output-on-failure --timeout 900)
