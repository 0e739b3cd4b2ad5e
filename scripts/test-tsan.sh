#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds everything with ThreadSanitizer (clang) and runs every test headless; any report fails
# the run. Qt itself is not built with the sanitizer, so the few races it reports inside Qt's own
# code are listed, each with its reason, in scripts/tsan.supp.
# Usage: scripts/test-tsan.sh [build-dir]   (default: build-tsan/ in the repository)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build-tsan}"
scripts/install-deps.sh --test
cmake --preset tsan -B "$build" >/dev/null
cmake --build "$build" -j"$(nproc)"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/scripts/tsan.supp"
cd "$build"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)"
