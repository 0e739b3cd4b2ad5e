#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer and runs every test
# headless; any sanitizer report, leaks included, fails the run.
# Usage: scripts/test-sanitized.sh [build-dir]   (default: build-sanitized/ in the repository)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build-sanitized}"
scripts/install-deps.sh --test
cmake --preset sanitized -B "$build" >/dev/null
cmake --build "$build" -j"$(nproc)"
suppressions="$(pwd)/scripts/lsan-libgit2.supp"
cd "$build"
export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:strict_string_checks=1:check_initialization_order=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
export LSAN_OPTIONS="suppressions=$suppressions"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)"
