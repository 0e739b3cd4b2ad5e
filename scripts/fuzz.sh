#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the libFuzzer targets with clang and runs them one after another.
# Usage: scripts/fuzz.sh [seconds per target, default 300] [target...]
# Targets: colouring colouringlarge textfunctions codec keywordlist syntax (default: all). New
# inputs go to fuzz-out/corpus/<target>; an input that breaks a rule lands in fuzz-out/artifacts/<target>:
# copy it to fuzz/regressions/<target>/ so the test suite replays it for good.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-300}"
shift || true
targets=("$@")
if ((${#targets[@]} == 0)); then
    targets=(colouring colouringlarge textfunctions codec keywordlist syntax)
fi
build="${QUILLARY_FUZZ_BUILD:-build-fuzz}"
scripts/install-deps.sh --test
cmake --preset fuzz -B "$build" >/dev/null
cmake --build "$build" -j"$(nproc)" --target "${targets[@]/#/fuzz_}"

export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
failed=()
for target in "${targets[@]}"; do
    work="fuzz-out/corpus/$target"
    artifacts="fuzz-out/artifacts/$target"
    mkdir -p "$work" "$artifacts" "fuzz/regressions/$target"
    echo "== fuzz_$target for ${seconds}s"
    "$build/fuzz/fuzz_$target" "$work" "fuzz/corpus/$target" "fuzz/regressions/$target" \
        -max_total_time="$seconds" -max_len=4096 -timeout=20 -rss_limit_mb=4096 \
        -print_final_stats=1 -artifact_prefix="$artifacts/" || failed+=("$target")
done
if ((${#failed[@]} > 0)); then
    echo "Broken rules found by: ${failed[*]} (inputs in fuzz-out/artifacts/)"
    exit 1
fi
