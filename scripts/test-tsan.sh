#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds everything with ThreadSanitizer (clang) and runs every test headless; any report fails
# the run. Debian's Qt is not built with the sanitizer: its locks are futexes the sanitizer cannot
# see, so what Qt's own code allocates, copies and frees is left out (ignore_noninstrumented_modules)
# and Quillary's threads synchronise with the C++ library's primitives, which it does see. The
# install test is left out: it only starts processes, and QProcess's fork inside Qt trips the
# sanitizer's runtime.
# Usage: scripts/test-tsan.sh [build-dir]   (default: build-tsan/ in the repository)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build-tsan}"
scripts/install-deps.sh --test
cmake --preset tsan -B "$build" >/dev/null
cmake --build "$build" -j"$(nproc)"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:ignore_noninstrumented_modules=1"
cd "$build"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)" -E '^test_install$'
