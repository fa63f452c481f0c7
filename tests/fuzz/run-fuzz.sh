#!/usr/bin/env bash
# Builds the libFuzzer harnesses with clang in their own build folder and runs
# one of them for a given time under AddressSanitizer and UndefinedBehaviorSanitizer.
#
#   tests/fuzz/run-fuzz.sh HARNESS [SECONDS]     fuzz (default 600 s)
#   tests/fuzz/run-fuzz.sh HARNESS merge         keep what found new coverage
#   tests/fuzz/run-fuzz.sh list                  the harnesses
#
# New inputs collect in $FUZZ_BUILD/corpus/HARNESS (the stored corpus is only
# read); a crash is written to $FUZZ_BUILD/artifacts/HARNESS/ and ends the run
# with a failure. `merge` adds to the stored corpus only the new inputs that
# reach coverage it does not have yet. FUZZ_BUILD defaults to build-fuzz.
set -euo pipefail
cd "$(dirname "$0")/../.."

# harness name -> stored corpus
declare -A corpora=(
    [sevenplus_decoder]=tests/sevenplus/fuzz/corpus
    [pmba_decode]=tests/pmba/fuzz/corpus
    [coded_mail]=tests/mail/fuzz/corpus
)
usage() { echo "usage: $0 {${!corpora[*]}} [SECONDS|merge]  |  $0 list" | tr ' ' '|' >&2; exit 2; }

[ $# -ge 1 ] || usage
if [ "$1" = list ]; then printf '%s\n' "${!corpora[@]}"; exit 0; fi
harness=$1
stored=${corpora[$harness]:-}
[ -n "$stored" ] || usage
what=${2:-600}
[[ "$what" =~ ^([0-9]+|merge)$ ]] || usage

build=${FUZZ_BUILD:-build-fuzz}
if [ ! -f "$build/build.ninja" ]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DTOLVAN_FUZZ=ON -DTOLVAN_BUILD_BENCH=OFF \
        ${CCACHE_DIR:+-DCMAKE_CXX_COMPILER_LAUNCHER=ccache}
fi
cmake --build "$build" --target "${harness}_fuzz"

fuzzer=$build/fuzz/${harness}_fuzz
work=$build/corpus/$harness
artifacts=$build/artifacts/$harness/
mkdir -p "$work" "$artifacts"
# Stop at the first fault with its stack; leaks count as faults.
export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1:allocator_may_return_null=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}

if [ "$what" = merge ]; then
    exec "$fuzzer" -merge=1 -timeout=10 -rss_limit_mb=2048 "$stored" "$work"
fi
exec "$fuzzer" -max_total_time="$what" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$artifacts" "$work" "$stored"
